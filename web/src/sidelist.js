// SPDX-License-Identifier: MIT
// The network as text beside the drawing: every block by factory, with its
// ports and their connections, for screen readers and the browser's search.

const escape = (s) => String(s).replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);

function portsText(label, arrow, ports) {
  if (ports.length === 0) return '';
  const items = ports
    .map((p) => `<li>${escape(p.name)}${p.connections.length ? ` ${arrow} ${p.connections.map(escape).join(', ')}` : ''}</li>`)
    .join('');
  return `<li>${label}<ul>${items}</ul></li>`;
}

// `view` is {blocks, edges}: the blocks shown and the connections between them.
export function renderSideList(nav, view) {
  const byFactory = new Map();
  for (const b of view.blocks) {
    if (!byFactory.has(b.factory)) byFactory.set(b.factory, []);
    byFactory.get(b.factory).push(b);
  }
  let html = `<p>${view.blocks.length} blocks, ${view.edges.length} connections</p>`;
  for (const [factory, blocks] of byFactory) {
    html += `<section><h2>${escape(factory)}</h2><ul>`;
    for (const b of blocks) {
      html += `<li class="side-block" data-name="${escape(b.name)}"><button type="button" data-select="${escape(b.name)}">${escape(b.name)}</button><ul>${portsText('inputs', '←', b.inputs)}${portsText('outputs', '→', b.outputs)}</ul></li>`;
    }
    html += '</ul></section>';
  }
  nav.innerHTML = html;
}

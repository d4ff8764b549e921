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

const itemHtml = (b) =>
  `<li class="side-block" data-name="${escape(b.name)}"><button type="button" data-select="${escape(b.name)}">${escape(b.name)}</button><ul>${portsText('inputs', '←', b.inputs)}${portsText('outputs', '→', b.outputs)}</ul></li>`;

let current = 0;
// The block whose button had the keyboard when the list was drawn again.
let wanted;

// Gives the keyboard back to that button once it is drawn, unless the focus
// has gone elsewhere meanwhile.
function refocus(nav) {
  if (wanted === undefined) return;
  if (document.activeElement && document.activeElement !== document.body) {
    wanted = undefined;
    return;
  }
  const button = nav.querySelector(`button[data-select="${CSS.escape(wanted)}"]`);
  if (!button) return;
  wanted = undefined;
  button.focus({ preventScroll: true });
}

// `view` is {blocks, edges}: the blocks shown and the connections between
// them. Thousands of blocks are added a slice at a time, so that the page
// answers meanwhile; a newer call stops an older one. A block's button that
// had the keyboard has it again once drawn, unless the focus went elsewhere
// meanwhile.
export function renderSideList(nav, view, slice = 400) {
  const run = ++current;
  if (nav.contains(document.activeElement)) wanted = document.activeElement.dataset.select;
  const byFactory = new Map();
  for (const b of view.blocks) {
    if (!byFactory.has(b.factory)) byFactory.set(b.factory, []);
    byFactory.get(b.factory).push(b);
  }
  const work = [];
  for (const [factory, blocks] of byFactory) {
    for (let i = 0; i < blocks.length; i += slice) work.push({ factory, blocks: blocks.slice(i, i + slice), first: i === 0 });
  }
  nav.innerHTML = `<p>${view.blocks.length} blocks, ${view.edges.length} connections</p>`;
  let list = null;
  const step = () => {
    if (run !== current) return;
    const until = performance.now() + 25;
    while (work.length && performance.now() < until) {
      const { factory, blocks, first } = work.shift();
      if (first) {
        const section = document.createElement('section');
        section.innerHTML = `<h2>${escape(factory)}</h2><ul></ul>`;
        nav.appendChild(section);
        list = section.querySelector('ul');
      }
      list.insertAdjacentHTML('beforeend', blocks.map(itemHtml).join(''));
    }
    refocus(nav);
    if (work.length) setTimeout(step, 0);
  };
  step();
}

// SPDX-License-Identifier: MIT
// The network drawn as SVG: blocks laid out left to right by dagre, input
// ports on a block's left edge, output ports on its right, one edge per
// connection; dragging from an output port to an input port asks to connect.
import dagre from '@dagrejs/dagre';
import { blockOf } from './model.js';

const width = 170;
const headHeight = 22;
const portHeight = 16;
const svgNs = 'http://www.w3.org/2000/svg';

const escape = (s) => String(s).replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);

function blockHeight(b) {
  return headHeight + Math.max(1, b.inputs.length, b.outputs.length) * portHeight + 6;
}

// Positions of the blocks' top-left corners and the drawing's size.
export function layout(view) {
  const g = new dagre.graphlib.Graph({ multigraph: true });
  g.setGraph({ rankdir: 'LR', nodesep: 18, ranksep: 70, marginx: 20, marginy: 20 });
  g.setDefaultEdgeLabel(() => ({}));
  for (const b of view.blocks) g.setNode(b.name, { width, height: blockHeight(b) });
  for (const e of view.edges) g.setEdge(blockOf(e.from), blockOf(e.to), {}, `${e.from}>${e.to}`);
  dagre.layout(g);
  const at = new Map();
  for (const b of view.blocks) {
    const n = g.node(b.name);
    at.set(b.name, { x: n.x - width / 2, y: n.y - n.height / 2 });
  }
  const size = g.graph();
  return { at, width: Math.ceil(size.width || 0), height: Math.ceil(size.height || 0) };
}

function portPoint(place, b, side, name) {
  const ports = side === 'in' ? b.inputs : b.outputs;
  const i = ports.findIndex((p) => p.name === name);
  return {
    x: place.x + (side === 'in' ? 0 : width),
    y: place.y + headHeight + (i < 0 ? 0 : i) * portHeight + portHeight / 2,
  };
}

function blockSvg(b, place, selected) {
  const h = blockHeight(b);
  const ports = (side, list) =>
    list
      .map((p, i) => {
        const y = headHeight + i * portHeight + portHeight / 2;
        const x = side === 'in' ? 0 : width;
        const tx = side === 'in' ? 8 : width - 8;
        const anchor = side === 'in' ? 'start' : 'end';
        return `<circle class="port ${side}" cx="${x}" cy="${y}" r="5" data-block="${escape(b.name)}" data-port="${escape(p.name)}" data-side="${side}"><title>${escape(`${b.name}.${p.name}`)}</title></circle><text x="${tx}" y="${y}" text-anchor="${anchor}">${escape(p.name)}</text>`;
      })
      .join('');
  return `<g class="block${selected ? ' selected' : ''}" transform="translate(${place.x},${place.y})" data-block="${escape(b.name)}">
<rect class="body" width="${width}" height="${h}"/><rect class="head" width="${width}" height="${headHeight}" data-select="${escape(b.name)}"/>
<text class="title" x="6" y="${headHeight / 2}" data-select="${escape(b.name)}">${escape(b.name)} <tspan fill="#667" font-weight="normal">${escape(b.factory)}</tspan></text>
${ports('in', b.inputs)}${ports('out', b.outputs)}</g>`;
}

// Draws `view` laid out as `placed` into `svg`; `selection` is {block} or {edge}.
export function draw(svg, view, placed, selection) {
  const byName = new Map(view.blocks.map((b) => [b.name, b]));
  const edges = view.edges
    .map((e) => {
      const from = byName.get(blockOf(e.from));
      const to = byName.get(blockOf(e.to));
      const a = portPoint(placed.at.get(from.name), from, 'out', e.from.slice(from.name.length + 1));
      const z = portPoint(placed.at.get(to.name), to, 'in', e.to.slice(to.name.length + 1));
      const bend = Math.max(30, Math.abs(z.x - a.x) / 2);
      const d = `M${a.x},${a.y} C${a.x + bend},${a.y} ${z.x - bend},${z.y} ${z.x},${z.y}`;
      const key = escape(`${e.from}>${e.to}`);
      const sel = selection.edge === `${e.from}>${e.to}` ? ' selected' : '';
      return `<path class="edge${sel}" d="${d}"/><path class="hit" d="${d}" data-edge="${key}"><title>${escape(`${e.from} → ${e.to}`)}</title></path>`;
    })
    .join('');
  const blocks = view.blocks.map((b) => blockSvg(b, placed.at.get(b.name), selection.block === b.name)).join('');
  svg.setAttribute('width', placed.width);
  svg.setAttribute('height', placed.height);
  svg.setAttribute('viewBox', `0 0 ${placed.width} ${placed.height}`);
  svg.innerHTML = `<g class="edges">${edges}</g><g class="blocks">${blocks}</g>`;
}

// Clicks and drags on the drawing: onSelectBlock(name), onSelectEdge(from, to),
// onConnect(from, to) with "block.port" endpoints.
export function handleInput(svg, { onSelectBlock, onSelectEdge, onConnect }) {
  let drag = null;
  const point = (ev) => {
    const r = svg.getBoundingClientRect();
    const vb = svg.viewBox.baseVal;
    const sx = vb && r.width ? vb.width / r.width : 1;
    return { x: (ev.clientX - r.left) * sx, y: (ev.clientY - r.top) * sx };
  };
  const inputPortAt = (ev) => {
    const el = document.elementFromPoint(ev.clientX, ev.clientY);
    return el && el.dataset && el.dataset.side === 'in' ? el : null;
  };
  svg.addEventListener('pointerdown', (ev) => {
    const t = ev.target;
    if (t.dataset.side === 'out') {
      const start = point(ev);
      const line = document.createElementNS(svgNs, 'line');
      line.setAttribute('class', 'drag');
      line.setAttribute('x1', start.x);
      line.setAttribute('y1', start.y);
      line.setAttribute('x2', start.x);
      line.setAttribute('y2', start.y);
      svg.appendChild(line);
      drag = { from: `${t.dataset.block}.${t.dataset.port}`, line, over: null };
      ev.preventDefault();
    } else if (t.dataset.select) {
      onSelectBlock(t.dataset.select);
    } else if (t.dataset.edge) {
      const [from, to] = t.dataset.edge.split('>');
      onSelectEdge(from, to);
    }
  });
  window.addEventListener('pointermove', (ev) => {
    if (!drag) return;
    const p = point(ev);
    drag.line.setAttribute('x2', p.x);
    drag.line.setAttribute('y2', p.y);
    const target = inputPortAt(ev);
    if (drag.over && drag.over !== target) drag.over.classList.remove('target');
    if (target) target.classList.add('target');
    drag.over = target;
  });
  window.addEventListener('pointerup', (ev) => {
    if (!drag) return;
    const target = inputPortAt(ev);
    drag.line.remove();
    if (drag.over) drag.over.classList.remove('target');
    const from = drag.from;
    drag = null;
    if (target) onConnect(from, `${target.dataset.block}.${target.dataset.port}`);
  });
}

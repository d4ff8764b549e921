// SPDX-License-Identifier: MIT
// The network drawn in the view: only what is on screen. Close up, the
// blocks on screen are SVG (ports to drag from, titles, a focusable group
// per block); far out, or with many blocks on screen, a canvas draws them as
// plain boxes and lines. Dragging from an output port to an input port asks
// to connect.
import { blockOf } from './model.js';
import { blockWidth } from './layout.js';

export const headHeight = 22;
const portHeight = 16;
const svgNs = 'http://www.w3.org/2000/svg';
// Beyond this many blocks on screen, or below this scale, the canvas draws.
const detailLimit = 400;
const detailScale = 0.3;

const escape = (s) => String(s).replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);

export function blockHeight(b) {
  return headHeight + Math.max(1, b.inputs.length, b.outputs.length) * portHeight + 6;
}

function portPoint(place, b, side, name) {
  const ports = side === 'in' ? b.inputs : b.outputs;
  const i = ports.findIndex((p) => p.name === name);
  return {
    x: place.x + (side === 'in' ? 0 : blockWidth),
    y: place.y + headHeight + (i < 0 ? 0 : i) * portHeight + portHeight / 2,
  };
}

function edgeEnds(net, at, e) {
  const from = net.blocks.get(blockOf(e.from));
  const to = net.blocks.get(blockOf(e.to));
  const pa = from && at.get(from.name);
  const pz = to && at.get(to.name);
  if (!pa || !pz) return null;
  return [
    portPoint(pa, from, 'out', e.from.slice(from.name.length + 1)),
    portPoint(pz, to, 'in', e.to.slice(to.name.length + 1)),
  ];
}

const curve = (a, z) => {
  const bend = Math.max(30, Math.abs(z.x - a.x) / 2);
  return `M${a.x},${a.y} C${a.x + bend},${a.y} ${z.x - bend},${z.y} ${z.x},${z.y}`;
};

// A block: a focusable button named by its title; its ports are for the
// mouse (the panel connects from the keyboard) and hidden from readers.
function blockSvg(b, place, selected) {
  const h = blockHeight(b);
  const ports = (side, list) =>
    list
      .map((p, i) => {
        const y = headHeight + i * portHeight + portHeight / 2;
        const x = side === 'in' ? 0 : blockWidth;
        const tx = side === 'in' ? 8 : blockWidth - 8;
        const anchor = side === 'in' ? 'start' : 'end';
        return `<circle aria-hidden="true" class="port ${side}" cx="${x}" cy="${y}" r="5" data-block="${escape(b.name)}" data-port="${escape(p.name)}" data-side="${side}"><title>${escape(`${b.name}.${p.name}`)}</title></circle><text aria-hidden="true" x="${tx}" y="${y}" text-anchor="${anchor}">${escape(p.name)}</text>`;
      })
      .join('');
  return `<g class="block${selected ? ' selected' : ''}" transform="translate(${place.x},${place.y})" data-block="${escape(b.name)}" data-select="${escape(b.name)}" tabindex="0" role="button">
<rect class="body" width="${blockWidth}" height="${h}"/><rect class="head" width="${blockWidth}" height="${headHeight}" data-select="${escape(b.name)}"/>
<text class="title" x="6" y="${headHeight / 2}" data-select="${escape(b.name)}">${escape(b.name)} <tspan class="factory">${escape(b.factory)}</tspan></text>
${ports('in', b.inputs)}${ports('out', b.outputs)}</g>`;
}

// The colours of the drawing, from the style sheet (they follow the
// light or dark scheme).
function palette(element) {
  const css = getComputedStyle(element);
  const get = (name) => css.getPropertyValue(name).trim();
  return {
    body: get('--block-body'),
    head: get('--block-head'),
    stroke: get('--block-stroke'),
    edge: get('--edge'),
    selected: get('--selected'),
    text: get('--text'),
  };
}

// The drawing in `pane` (which holds canvas.overview and svg#graph).
// `model` gives {net, at (Map name → {x, y}), shown (Set of names), selection}.
export function createGraph(pane, view, model) {
  const canvas = pane.querySelector('canvas.overview');
  const svg = pane.querySelector('svg');
  const ctx = canvas.getContext('2d');
  let drawnKey = '';
  let frame = 0;
  // The last full overview and the view it was drawn for: while the view
  // moves, it is shifted and scaled instead of drawn again, and the full
  // drawing follows when the view stops.
  const still = { canvas: document.createElement('canvas'), view: null };
  let lastMove = 0;
  let settle = 0;

  const onScreen = () => {
    const { net, at, shown } = model();
    const box = view.visibleBox();
    const list = [];
    for (const name of shown) {
      const p = at.get(name);
      const b = net.blocks.get(name);
      if (!p || !b) continue;
      if (p.x <= box.x1 && p.x + blockWidth >= box.x0 && p.y <= box.y1 && p.y + p.h >= box.y0) list.push(b);
    }
    return list;
  };

  const drawSvg = (blocks) => {
    const { net, at, shown, selection } = model();
    const v = view.state;
    const names = new Set(blocks.map((b) => b.name));
    const key = [...names].join('|') + `#${net.edges.size}#${selection.block}#${selection.edge}#${model().version}`;
    const layer = svg.querySelector('g.viewport');
    layer.setAttribute('transform', `translate(${v.x},${v.y}) scale(${v.scale})`);
    if (key === drawnKey) return;
    drawnKey = key;
    const edges = [];
    for (const [k, e] of net.edges) {
      const a = blockOf(e.from);
      const z = blockOf(e.to);
      if (!(names.has(a) || names.has(z)) || !shown.has(a) || !shown.has(z)) continue;
      const ends = edgeEnds(net, at, e);
      if (!ends) continue;
      const d = curve(...ends);
      const sel = selection.edge === k ? ' selected' : '';
      edges.push(
        `<path class="edge${sel}" d="${d}"/><path class="hit" d="${d}" data-edge="${escape(k)}"><title>${escape(`${e.from} → ${e.to}`)}</title></path>`,
      );
    }
    const focused = document.activeElement?.closest?.('g.block')?.dataset.block;
    layer.innerHTML = `<g class="edges">${edges.join('')}</g><g class="blocks">${blocks
      .map((b) => blockSvg(b, at.get(b.name), selection.block === b.name))
      .join('')}</g>`;
    if (focused) layer.querySelector(`g.block[data-block="${CSS.escape(focused)}"]`)?.focus({ preventScroll: true });
  };

  // The ends of every connection, worked out once per version of the
  // network and its places.
  let cached = { version: -1, list: [] };
  const segments = () => {
    const { net, at, version } = model();
    if (cached.version === version) return cached.list;
    const list = [];
    for (const e of net.edges.values()) {
      const ends = edgeEnds(net, at, e);
      if (ends) list.push({ a: blockOf(e.from), z: blockOf(e.to), ends });
    }
    cached = { version, list };
    return list;
  };

  const drawCanvas = (blocks) => {
    const { net, at, shown, selection } = model();
    const v = view.state;
    const ratio = window.devicePixelRatio || 1;
    const colours = palette(pane);
    ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
    ctx.clearRect(0, 0, v.width, v.height);
    if (!blocks) return;
    ctx.setTransform(ratio * v.scale, 0, 0, ratio * v.scale, ratio * v.x, ratio * v.y);
    const names = new Set(blocks.map((b) => b.name));
    ctx.strokeStyle = colours.edge;
    ctx.lineWidth = 1 / v.scale;
    ctx.beginPath();
    for (const s of segments()) {
      if (!(names.has(s.a) || names.has(s.z)) || !shown.has(s.a) || !shown.has(s.z)) continue;
      ctx.moveTo(s.ends[0].x, s.ends[0].y);
      ctx.lineTo(s.ends[1].x, s.ends[1].y);
    }
    ctx.stroke();
    for (const b of blocks) {
      const p = at.get(b.name);
      ctx.fillStyle = colours.body;
      ctx.fillRect(p.x, p.y, blockWidth, p.h);
      ctx.fillStyle = selection.block === b.name ? colours.selected : colours.head;
      ctx.fillRect(p.x, p.y, blockWidth, headHeight);
      if (v.scale > 0.12) {
        ctx.strokeStyle = colours.stroke;
        ctx.strokeRect(p.x, p.y, blockWidth, p.h);
      }
    }
    // Names while they are still readable.
    if (v.scale * 11 >= 5) {
      ctx.fillStyle = colours.text;
      ctx.font = 'bold 11px system-ui, sans-serif';
      ctx.textBaseline = 'middle';
      for (const b of blocks) {
        const p = at.get(b.name);
        ctx.fillText(b.name, p.x + 6, p.y + headHeight / 2, blockWidth - 12);
      }
    }
  };

  const drawMoved = () => {
    const v = view.state;
    const c = still.view;
    const ratio = window.devicePixelRatio || 1;
    const k = v.scale / c.scale;
    ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
    ctx.clearRect(0, 0, v.width, v.height);
    ctx.drawImage(still.canvas, v.x - c.x * k, v.y - c.y * k, c.width * k, c.height * k);
  };

  const keepStill = () => {
    still.canvas.width = canvas.width;
    still.canvas.height = canvas.height;
    still.canvas.getContext('2d').drawImage(canvas, 0, 0);
    still.view = { ...view.state };
  };

  const draw = () => {
    frame = 0;
    if (!model().net) return;
    const moving = performance.now() - lastMove < 150;
    if (moving && still.view && pane.dataset.mode === 'overview') {
      drawMoved();
      clearTimeout(settle);
      settle = setTimeout(draw, 160);
      return;
    }
    const started = performance.now();
    const blocks = onScreen();
    const detailed = blocks.length <= detailLimit && view.state.scale >= detailScale;
    pane.dataset.mode = detailed ? 'detail' : 'overview';
    if (detailed) {
      drawCanvas(null);
      drawSvg(blocks);
    } else {
      if (drawnKey !== '') svg.querySelector('g.viewport').innerHTML = '';
      drawnKey = '';
      drawCanvas(blocks);
      keepStill();
    }
    // The cost of the last whole drawing, for the benchmarks.
    window.fbwebDrawMs = performance.now() - started;
  };

  return {
    // Draws at the next frame; several calls in one frame draw once.
    update() {
      if (!frame) frame = requestAnimationFrame(draw);
    },
    // The same after the view moved (a pan or zoom in progress).
    moved() {
      lastMove = performance.now();
      if (!frame) frame = requestAnimationFrame(draw);
    },
    drawNow: draw,
    resize(width, height) {
      const ratio = window.devicePixelRatio || 1;
      canvas.width = Math.round(width * ratio);
      canvas.height = Math.round(height * ratio);
      canvas.style.width = `${width}px`;
      canvas.style.height = `${height}px`;
      drawnKey = '';
      still.view = null;
    },
    // Forgets what was drawn, so the next draw redraws every part.
    invalidate() {
      drawnKey = '';
      still.view = null;
    },
    // The shown block at the world point, if any.
    blockAt(wx, wy) {
      const { at, shown } = model();
      for (const name of shown) {
        const p = at.get(name);
        if (p && wx >= p.x && wx <= p.x + blockWidth && wy >= p.y && wy <= p.y + p.h) return name;
      }
      return null;
    },
  };
}

// Drags from an output port to an input port: onConnect(from, to) with
// "block.port" endpoints. The rubber band is drawn in world coordinates.
export function handleConnectDrag(svg, view, onConnect) {
  let drag = null;
  const point = (ev) => {
    const r = svg.getBoundingClientRect();
    return view.toWorld(ev.clientX - r.left, ev.clientY - r.top);
  };
  const inputPortAt = (ev) => {
    const el = document.elementFromPoint(ev.clientX, ev.clientY);
    return el && el.dataset && el.dataset.side === 'in' ? el : null;
  };
  svg.addEventListener('pointerdown', (ev) => {
    const t = ev.target;
    if (t.dataset.side !== 'out') return;
    const start = point(ev);
    const line = document.createElementNS(svgNs, 'line');
    line.setAttribute('class', 'drag');
    for (const [k, val] of Object.entries({ x1: start.x, y1: start.y, x2: start.x, y2: start.y })) line.setAttribute(k, val);
    svg.querySelector('g.viewport').appendChild(line);
    drag = { from: `${t.dataset.block}.${t.dataset.port}`, line, over: null };
    ev.preventDefault();
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

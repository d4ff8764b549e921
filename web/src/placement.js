// SPDX-License-Identifier: MIT
// Where each block sits: the whole network laid out on a worker (the page's
// own script run as one, so nothing else is fetched), blocks that appear
// later put beside the drawing without moving the others.
import { layOut, blockWidth } from './layout.js';
import { blockOf } from './model.js';
import { blockHeight } from './graph.js';

// The worker's side: lays out what it is sent.
export function serveLayouts(scope) {
  scope.onmessage = (ev) => {
    const { id, heights, edges, aspect } = ev.data;
    const r = layOut(heights, pairsOf(edges), aspect);
    scope.postMessage({ id, ...r }, [r.x.buffer, r.y.buffer]);
  };
}

export function createPlacement(scriptUrl) {
  let worker = null;
  try {
    worker = scriptUrl ? new Worker(scriptUrl) : null;
  } catch {
    worker = null;
  }
  let next = 0;
  const waiting = new Map();
  if (worker) {
    worker.onmessage = (ev) => {
      waiting.get(ev.data.id)?.(ev.data);
      waiting.delete(ev.data.id);
    };
    // A worker that cannot start (a policy, an old browser): lay out here.
    worker.onerror = () => {
      worker = null;
      for (const [id, resolve] of waiting) resolve(null, id);
    };
  }
  const run = (input) =>
    new Promise((resolve) => {
      if (!worker) return resolve(layOut(input.heights, pairsOf(input.edges), input.aspect));
      const id = ++next;
      waiting.set(id, (r) => resolve(r ?? layOut(input.heights, pairsOf(input.edges), input.aspect)));
      worker.postMessage({ id, ...input });
    });

  // The boxes of every block of `net`: Map name → {x, y, h}, and the
  // place where blocks that come later go.
  return async function placeAll(net, aspect) {
    const names = [...net.blocks.keys()];
    const index = new Map(names.map((n, i) => [n, i]));
    const heights = new Float64Array(names.map((n) => blockHeight(net.blocks.get(n))));
    const edges = new Int32Array(net.edges.size * 2);
    let k = 0;
    for (const e of net.edges.values()) {
      edges[k++] = index.get(blockOf(e.from));
      edges[k++] = index.get(blockOf(e.to));
    }
    const r = await run({ heights, edges, aspect });
    const at = new Map();
    names.forEach((n, i) => at.set(n, { x: r.x[i], y: r.y[i], h: heights[i] }));
    return { at, width: r.width, height: r.height };
  };
}

function pairsOf(flat) {
  const pairs = [];
  for (let i = 0; i < flat.length; i += 2) pairs.push([flat[i], flat[i + 1]]);
  return pairs;
}

// Puts a block that appeared after the layout in a column right of
// everything, below the last one put there.
export function placeLate(at, block) {
  let right = 0;
  let top = Infinity;
  let column = null;
  for (const p of at.values()) {
    if (p.late) column = column && column.y + column.h > p.y + p.h ? column : p;
    else right = Math.max(right, p.x + blockWidth);
    top = Math.min(top, p.y);
  }
  const x = column ? column.x : right + 70;
  const y = column ? column.y + column.h + 18 : Number.isFinite(top) ? top : 20;
  at.set(block.name, { x, y, h: blockHeight(block), late: true });
}

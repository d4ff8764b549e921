// SPDX-License-Identifier: MIT
// Layered layout of the network, left to right, in time linear in blocks and
// connections (a few sweeps), so that 10,000 blocks lay out in well under a
// second: a block's column is the longest chain of connections leading to
// it, the order within a column follows the mean place of its neighbours,
// and a very long chain of columns is folded into bands so that the whole
// has about the shape of the screen.

export const blockWidth = 170;
const columnGap = 70;
const rowGap = 18;
const bandGap = 60;
const margin = 20;

// Adjacency in compressed rows: the neighbours of v are
// to[start[v]] .. to[start[v + 1] - 1]; `id` gives each its edge's index.
function adjacency(n, pairs, reverse) {
  const start = new Int32Array(n + 1);
  for (const [a, b] of pairs) start[(reverse ? b : a) + 1]++;
  for (let v = 0; v < n; v++) start[v + 1] += start[v];
  const fill = start.slice(0, n);
  const to = new Int32Array(pairs.length);
  const id = new Int32Array(pairs.length);
  pairs.forEach(([a, b], e) => {
    const k = fill[reverse ? b : a]++;
    to[k] = reverse ? a : b;
    id[k] = e;
  });
  return { start, to, id };
}

// The column of each node: the longest chain of edges leading to it, edges
// that close a cycle (found depth-first) left out. Returns the column and
// the edges kept.
function columns(n, pairs) {
  const out = adjacency(n, pairs, false);
  const mark = new Uint8Array(n); // 0 new, 1 on the path, 2 done
  const next = out.start.slice(0, n);
  const stack = new Int32Array(n);
  const order = new Int32Array(n);
  const kept = new Uint8Array(pairs.length);
  let done = 0;
  for (let root = 0; root < n; root++) {
    if (mark[root]) continue;
    let depth = 0;
    stack[depth++] = root;
    mark[root] = 1;
    while (depth) {
      const v = stack[depth - 1];
      if (next[v] < out.start[v + 1]) {
        const k = next[v]++;
        const w = out.to[k];
        if (mark[w] === 1) continue;
        kept[out.id[k]] = 1;
        if (mark[w] === 0) {
          mark[w] = 1;
          stack[depth++] = w;
        }
      } else {
        mark[v] = 2;
        order[done++] = v;
        depth--;
      }
    }
  }
  // Reverse finishing order is a topological order of the kept edges.
  const column = new Int32Array(n);
  for (let i = n - 1; i >= 0; i--) {
    const v = order[i];
    for (let k = out.start[v]; k < out.start[v + 1]; k++) {
      if (kept[out.id[k]] && column[out.to[k]] < column[v] + 1) column[out.to[k]] = column[v] + 1;
    }
  }
  return { column, kept: pairs.filter((_, e) => kept[e] && pairs[e][0] !== pairs[e][1]) };
}

// Orders each column by the mean row of the neighbours in the column
// before (sweeping right) or after (sweeping left).
function orderColumns(byColumn, n, forward, back) {
  const row = new Float64Array(n);
  byColumn.forEach((list) => list.forEach((v, i) => (row[v] = i)));
  const mean = (adj, v) => {
    const from = adj.start[v];
    const to = adj.start[v + 1];
    if (from === to) return row[v];
    let sum = 0;
    for (let k = from; k < to; k++) sum += row[adj.to[k]];
    return sum / (to - from);
  };
  for (let pass = 0; pass < 4; pass++) {
    const right = pass % 2 === 0;
    for (let i = 0; i < byColumn.length; i++) {
      const c = right ? i : byColumn.length - 1 - i;
      const list = byColumn[c];
      if (list.length < 2) continue;
      const adj = right ? back : forward;
      const key = new Map(list.map((v) => [v, mean(adj, v)]));
      list.sort((a, b) => key.get(a) - key.get(b) || row[a] - row[b]);
      list.forEach((v, k) => (row[v] = k));
    }
  }
}

// Lays out nodes of the given heights; returns the top-left corner of each
// (x, y) and the drawing's size. `aspect` is the wanted width / height.
export function layOut(heights, edges, aspect = 1.6) {
  const n = heights.length;
  const { column, kept } = columns(n, edges);
  const forward = adjacency(n, kept, false);
  const back = adjacency(n, kept, true);
  let columnCount = 0;
  for (let v = 0; v < n; v++) columnCount = Math.max(columnCount, column[v] + 1);
  const byColumn = Array.from({ length: columnCount }, () => []);
  for (let v = 0; v < n; v++) byColumn[column[v]].push(v);
  orderColumns(byColumn, n, forward, back);

  // Each block as near the mean height of the blocks feeding it as the
  // blocks above it in its column let it be.
  const y = new Float64Array(n);
  const columnHeight = new Float64Array(columnCount);
  for (let c = 0; c < columnCount; c++) {
    let bottom = 0;
    for (const v of byColumn[c]) {
      let want = 0;
      const from = back.start[v];
      const to = back.start[v + 1];
      if (to > from) {
        for (let k = from; k < to; k++) want += y[back.to[k]] + heights[back.to[k]] / 2;
        want = want / (to - from) - heights[v] / 2;
      }
      y[v] = Math.max(bottom, want);
      bottom = y[v] + heights[v] + rowGap;
    }
    columnHeight[c] = bottom;
  }

  // Fold into bands of `perBand` columns when one band would be far wider
  // than the wanted shape (a dozen columns still fit a screen as they are).
  const step = blockWidth + columnGap;
  const tallest = columnHeight.reduce((m, h) => Math.max(m, h), 1);
  let perBand = columnCount;
  if (columnCount > 12 && columnCount * step > 3 * aspect * tallest) {
    perBand = Math.max(1, Math.round(Math.sqrt((aspect * columnCount * (tallest + bandGap)) / step)));
  }
  const bands = Math.ceil(columnCount / perBand) || 1;
  const bandTop = new Float64Array(bands + 1);
  for (let b = 0; b < bands; b++) {
    let h = 0;
    for (let c = b * perBand; c < Math.min(columnCount, (b + 1) * perBand); c++) h = Math.max(h, columnHeight[c]);
    bandTop[b + 1] = bandTop[b] + h + bandGap;
  }
  const x = new Float64Array(n);
  let width = 0;
  let height = 0;
  for (let v = 0; v < n; v++) {
    const c = column[v];
    const band = Math.floor(c / perBand);
    x[v] = margin + (c % perBand) * step;
    y[v] += margin + bandTop[band];
    width = Math.max(width, x[v] + blockWidth + margin);
    height = Math.max(height, y[v] + heights[v] + margin);
  }
  return { x, y, width, height };
}

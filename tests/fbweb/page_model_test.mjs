// SPDX-License-Identifier: MIT
// The page's logic without a browser: a change found between two documents
// turns the first into the second, pushed changes apply in place and
// twice without harm (and report nothing the second time), the event-stream reader splits events wherever the
// pieces break, the layout keeps blocks apart and long chains in shape, and
// the view zooms about a fixed point and fits a box.
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';

const src = (file) => import(pathToFileURL(join(process.env.WEB_DIR, 'src', file)).href);
const { applyChange, diff, flatten, visibleNames } = await src('model.js');
const { eventReader } = await src('sse.js');
const { layOut, blockWidth } = await src('layout.js');
const { createView } = await src('view.js');

const port = (name, connections = []) => ({ name, connections });
const prop = (name, value) => ({ name, type: 'float', value });
function doc(blocks) {
  const factories = new Map();
  for (const b of blocks) {
    if (!factories.has(b.factory)) factories.set(b.factory, []);
    factories.get(b.factory).push(b);
  }
  return { factories: [...factories].map(([name, bs]) => ({ name, blocks: bs })) };
}
const osc = (name, to = [], level = 0.5) => ({
  name,
  factory: 'osc',
  properties: [prop('level', level)],
  inputs: [],
  outputs: [port('out', to)],
});
const mix = (name, from = []) => ({
  name,
  factory: 'mix',
  properties: [],
  inputs: [port('in1', from)],
  outputs: [],
});
const plain = (net) =>
  JSON.stringify({
    blocks: [...net.blocks.values()]
      .map((b) => ({ ...b, inputs: b.inputs.map((p) => ({ ...p, connections: [...p.connections].sort() })), outputs: b.outputs.map((p) => ({ ...p, connections: [...p.connections].sort() })) }))
      .sort((a, b) => a.name.localeCompare(b.name)),
    edges: [...net.edges.keys()].sort(),
  });

// Changes between documents.
{
  const before = flatten(doc([osc('a', ['m.in1']), osc('b'), mix('m', ['a.out'])]));
  const after = flatten(doc([osc('a', [], 0.7), osc('c', ['m.in1']), mix('m', ['c.out'])]));
  const c = diff(before, after);
  assert.deepEqual(c.blocks_removed, ['b']);
  assert.deepEqual(c.blocks_added.map((b) => b.name), ['c']);
  assert.deepEqual(c.properties, [{ block: 'a', name: 'level', value: 0.7 }]);
  assert.deepEqual(c.connections_removed, [{ from: 'a.out', to: 'm.in1' }]);
  assert.deepEqual(c.connections_added, [{ from: 'c.out', to: 'm.in1' }]);

  const net = flatten(doc([osc('a', ['m.in1']), osc('b'), mix('m', ['a.out'])]));
  const first = applyChange(net, c);
  assert.equal(plain(net), plain(after), 'the change turns the first document into the second');
  assert.deepEqual([...first.touched], ['a']);
  assert.deepEqual(first.linked, [{ from: 'c.out', to: 'm.in1' }]);
  assert.deepEqual(first.unlinked, [{ from: 'a.out', to: 'm.in1' }]);
  // The page's own edit comes twice: in the document it asks for, then
  // pushed. The second time nothing is reported, so nothing is redrawn.
  const again = applyChange(net, c);
  assert.equal(plain(net), plain(after), 'applying it again changes nothing');
  assert.deepEqual(
    { ...again, touched: [...again.touched] },
    { added: [], removed: [], touched: [], linked: [], unlinked: [] },
    'applying it again reports nothing',
  );

  // A block recreated with other ports, under the same name, is replaced.
  const reshaped = flatten(doc([osc('a'), { ...mix('b'), factory: 'osc' }, mix('m')]));
  const r = diff(before, reshaped);
  assert.ok(r.blocks_removed.includes('b') && r.blocks_added.some((b) => b.name === 'b'));
}

// A pushed change: a removed block takes its connections along; a pushed
// block brings its own; unknown names are ignored.
{
  const net = flatten(doc([osc('a', ['m.in1']), mix('m', ['a.out'])]));
  const { added, removed } = applyChange(net, {
    blocks_removed: ['a', 'nosuch'],
    blocks_added: [{ ...osc('n', ['m.in1']), factory: 'newfactory' }],
    properties: [{ block: 'ghost', name: 'level', value: 1 }],
    connections_added: [{ from: 'ghost.out', to: 'm.in1' }],
  });
  assert.deepEqual({ added, removed }, { added: ['n'], removed: ['a'] });
  assert.deepEqual([...net.edges.keys()], ['n.out>m.in1']);
  assert.deepEqual(net.blocks.get('m').inputs[0].connections, ['n.out']);
  assert.ok(net.factories.includes('newfactory'));
  assert.deepEqual([...visibleNames(net, 'mix', '')], ['m']);
  assert.deepEqual([...visibleNames(net, '', ' N ')], ['n']);
}

// The event-stream reader, fed in pieces that split lines and line ends.
{
  const text = ': keep-alive\r\nevent: hello\r\ndata: {"etag": "\\"1\\""}\r\n\r\nevent: change\nid: 2\ndata: {"a":\ndata: 1}\n\n: keep-alive\n\ndata:x\n\n';
  for (const size of [1, 2, 3, 7, text.length]) {
    const events = [];
    const feed = eventReader((e) => events.push(e));
    for (let i = 0; i < text.length; i += size) feed(text.slice(i, i + size));
    assert.deepEqual(
      events,
      [
        { event: 'hello', data: '{"etag": "\\"1\\""}', id: null },
        { event: 'change', data: '{"a":\n1}', id: '2' },
        { event: 'message', data: 'x', id: null },
      ],
      `pieces of ${size}`,
    );
  }
}

// Layout: no two blocks overlap, a connection runs left to right unless it
// closes a cycle, and a long chain is folded to about the wanted shape.
{
  const overlaps = (r, heights) => {
    const boxes = heights.map((h, i) => ({ x: r.x[i], y: r.y[i], h }));
    boxes.sort((a, b) => a.x - b.x || a.y - b.y);
    for (let i = 1; i < boxes.length; i++) {
      const a = boxes[i - 1];
      const b = boxes[i];
      if (a.x === b.x && b.y < a.y + a.h) return true;
    }
    return false;
  };
  const heights = [40, 60, 40, 80, 40, 40];
  const edges = [[0, 2], [1, 2], [2, 3], [2, 4], [4, 5], [5, 2]];
  const r = layOut(heights, edges);
  assert.ok(!overlaps(r, heights));
  assert.ok(r.x[0] < r.x[2] && r.x[2] < r.x[3], 'left to right');
  for (let i = 0; i < heights.length; i++) {
    assert.ok(r.x[i] >= 0 && r.x[i] + blockWidth <= r.width && r.y[i] + heights[i] <= r.height, `block ${i} inside`);
  }

  const n = 3000;
  const chain = Array.from({ length: n - 1 }, (_, i) => [i, i + 1]);
  const long = layOut(new Array(n).fill(50), chain, 1.6);
  const aspect = long.width / long.height;
  assert.ok(aspect > 0.5 && aspect < 5, `a chain of ${n} folds to a screen's shape (${aspect.toFixed(2)})`);
  assert.ok(!overlaps(long, new Array(n).fill(50)));
}
// The view: a zoom keeps the point under the pointer in place, a fit shows
// the whole box inside the screen below the buttons' strip, never enlarged.
{
  let changes = 0;
  const view = createView(() => changes++);
  view.resize(800, 600);
  const before = view.toWorld(200, 150);
  view.zoomAt(2.5, 200, 150);
  const after = view.toWorld(200, 150);
  assert.ok(Math.abs(before.x - after.x) < 1e-9 && Math.abs(before.y - after.y) < 1e-9);
  assert.equal(view.state.scale, 2.5);
  view.zoomAt(1e9);
  assert.equal(view.state.scale, 4, 'zoom has a limit');

  const box = { x0: 100, y0: -50, x1: 20100, y1: 4950 };
  view.fit(box);
  const seen = view.visibleBox();
  assert.ok(seen.x0 <= box.x0 && seen.x1 >= box.x1 && seen.y0 <= box.y0 && seen.y1 >= box.y1, 'the whole box is seen');
  assert.ok(view.toWorld(0, 44).y <= box.y0, 'nothing under the buttons');
  view.fit({ x0: 0, y0: 0, x1: 10, y1: 10 });
  assert.equal(view.state.scale, 1, 'a small box is shown life size');
  view.centreOn(5, 5);
  assert.deepEqual(view.toWorld(400, 300), { x: 5, y: 5 });
  assert.ok(changes >= 6);
}
console.log('page model test passed');

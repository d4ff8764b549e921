// SPDX-License-Identifier: MIT
// The network as the page keeps it: blocks by name, connections by
// "from>to", the factories; the filter by factory and name; the change
// between two documents and its application in place.

export function blockOf(endpoint) {
  return endpoint.slice(0, endpoint.indexOf('.'));
}

export const edgeKey = (e) => `${e.from}>${e.to}`;

function copyBlock(b, factory) {
  const port = (p) => ({ name: p.name, connections: [...(p.connections ?? [])] });
  return {
    name: b.name,
    factory,
    properties: (b.properties ?? []).map((p) => ({ ...p })),
    inputs: (b.inputs ?? []).map(port),
    outputs: (b.outputs ?? []).map(port),
  };
}

// {blocks: Map name → {name, factory, properties, inputs, outputs},
//  edges: Map "from>to" → {from, to}, factories: [name]}
export function flatten(doc) {
  const blocks = new Map();
  const edges = new Map();
  for (const f of doc.factories) {
    for (const b of f.blocks) {
      blocks.set(b.name, copyBlock(b, f.name));
      for (const out of b.outputs) {
        for (const to of out.connections) {
          const e = { from: `${b.name}.${out.name}`, to };
          edges.set(edgeKey(e), e);
        }
      }
    }
  }
  return { blocks, edges, factories: doc.factories.map((f) => f.name) };
}

// The names of the blocks the filter lets through.
export function visibleNames(net, factory, search) {
  const needle = search.trim().toLowerCase();
  const names = new Set();
  for (const b of net.blocks.values()) {
    if ((!factory || b.factory === factory) && (!needle || b.name.toLowerCase().includes(needle))) names.add(b.name);
  }
  return names;
}

const sameValue = (a, b) => JSON.stringify(a) === JSON.stringify(b);
const blockShape = (b) => JSON.stringify([b.factory, b.inputs.map((p) => p.name), b.outputs.map((p) => p.name)]);

// What turns `before` into `after`, in the form the server pushes: blocks
// added (whole) and removed (names), property values, connections.
export function diff(before, after) {
  const change = { blocks_added: [], blocks_removed: [], properties: [], connections_added: [], connections_removed: [] };
  for (const [name, b] of before.blocks) {
    const now = after.blocks.get(name);
    if (!now || blockShape(now) !== blockShape(b)) change.blocks_removed.push(name);
  }
  for (const [name, b] of after.blocks) {
    const was = before.blocks.get(name);
    if (!was || blockShape(was) !== blockShape(b)) {
      change.blocks_added.push(b);
      continue;
    }
    for (const p of b.properties) {
      const old = was.properties.find((q) => q.name === p.name);
      if (!old || !sameValue(old.value, p.value)) change.properties.push({ block: name, name: p.name, value: p.value });
    }
  }
  for (const [key, e] of before.edges) if (!after.edges.has(key)) change.connections_removed.push(e);
  for (const [key, e] of after.edges) if (!before.edges.has(key)) change.connections_added.push(e);
  return change;
}

function portOf(net, endpoint, side) {
  const b = net.blocks.get(blockOf(endpoint));
  const name = endpoint.slice(endpoint.indexOf('.') + 1);
  return b && b[side].find((p) => p.name === name);
}

function unlink(net, e) {
  if (!net.edges.delete(edgeKey(e))) return false;
  const out = portOf(net, e.from, 'outputs');
  if (out) out.connections = out.connections.filter((c) => c !== e.to);
  const inp = portOf(net, e.to, 'inputs');
  if (inp) inp.connections = inp.connections.filter((c) => c !== e.from);
  return true;
}

function link(net, e) {
  if (net.edges.has(edgeKey(e)) || !net.blocks.has(blockOf(e.from)) || !net.blocks.has(blockOf(e.to))) return false;
  net.edges.set(edgeKey(e), { from: e.from, to: e.to });
  const out = portOf(net, e.from, 'outputs');
  if (out && !out.connections.includes(e.to)) out.connections.push(e.to);
  const inp = portOf(net, e.to, 'inputs');
  if (inp && !inp.connections.includes(e.from)) inp.connections.push(e.from);
  return true;
}

// Applies a change (pushed or from diff) to `net` in place. Applying the
// same change twice leaves the same network. Returns what really changed,
// which is nothing for a change the page already has (its own edit, seen
// first in the document it asked for and then pushed by the server): the
// names of blocks added and removed, of blocks whose property values
// changed, and the connections linked and unlinked.
export function applyChange(net, change) {
  const removed = [];
  const added = [];
  const touched = new Set();
  const linked = [];
  const unlinked = [];
  for (const name of change.blocks_removed ?? []) {
    if (!net.blocks.has(name)) continue;
    for (const e of [...net.edges.values()]) {
      if (blockOf(e.from) === name || blockOf(e.to) === name) unlink(net, e);
    }
    net.blocks.delete(name);
    removed.push(name);
  }
  for (const b of change.blocks_added ?? []) {
    if (net.blocks.has(b.name)) continue;
    const block = copyBlock(b, b.factory);
    // The ports' connections come with the connections below.
    for (const p of [...block.inputs, ...block.outputs]) p.connections = [];
    net.blocks.set(b.name, block);
    if (!net.factories.includes(b.factory)) net.factories.push(b.factory);
    added.push(b.name);
    const edges = [
      ...(b.outputs ?? []).flatMap((out) => (out.connections ?? []).map((to) => ({ from: `${b.name}.${out.name}`, to }))),
      ...(b.inputs ?? []).flatMap((inp) => (inp.connections ?? []).map((from) => ({ from, to: `${b.name}.${inp.name}` }))),
    ];
    for (const e of edges) if (link(net, e)) linked.push(e);
  }
  for (const p of change.properties ?? []) {
    const prop = net.blocks.get(p.block)?.properties.find((q) => q.name === p.name);
    if (prop && !sameValue(prop.value, p.value)) {
      prop.value = p.value;
      touched.add(p.block);
    }
  }
  for (const e of change.connections_removed ?? []) if (unlink(net, e)) unlinked.push(e);
  for (const e of change.connections_added ?? []) if (link(net, e)) linked.push(e);
  return { added, removed, touched, linked, unlinked };
}

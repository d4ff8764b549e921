// SPDX-License-Identifier: MIT
// The network document as the page uses it: blocks with their factory, the
// connections, and the filter by factory and name.

// {blocks: [{name, factory, properties, inputs, outputs}], edges: [{from, to}],
//  factories: [name]}
export function flatten(doc) {
  const blocks = [];
  const edges = [];
  for (const f of doc.factories) {
    for (const b of f.blocks) {
      blocks.push({ ...b, factory: f.name });
      for (const out of b.outputs) {
        for (const to of out.connections) edges.push({ from: `${b.name}.${out.name}`, to });
      }
    }
  }
  return { blocks, edges, factories: doc.factories.map((f) => f.name) };
}

// The blocks the filter lets through, and the edges between them.
export function visible(net, factory, search) {
  const needle = search.trim().toLowerCase();
  const blocks = net.blocks.filter(
    (b) => (!factory || b.factory === factory) && (!needle || b.name.toLowerCase().includes(needle)),
  );
  const names = new Set(blocks.map((b) => b.name));
  const edges = net.edges.filter((e) => names.has(blockOf(e.from)) && names.has(blockOf(e.to)));
  return { blocks, edges };
}

export function blockOf(endpoint) {
  return endpoint.slice(0, endpoint.indexOf('.'));
}

// What decides the layout: blocks, their ports, connections. Property
// values do not move anything.
export function shapeKey(view) {
  const parts = view.blocks.map((b) => `${b.name}:${b.inputs.map((p) => p.name)}/${b.outputs.map((p) => p.name)}`);
  return parts.join('|') + '#' + view.edges.map((e) => `${e.from}>${e.to}`).join('|');
}

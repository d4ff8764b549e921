// SPDX-License-Identifier: MIT
// The page's start: the token, the network kept live from fbweb, the
// drawing with its view and overview, the side list and the editor panel.
// Run as a worker, the same script lays out networks.
import { adoptTokenFromAddress, call, setToken } from './api.js';
import { applyChange, blockOf, diff, flatten, visibleNames } from './model.js';
import { createGraph, handleConnectDrag } from './graph.js';
import { createMinimap } from './minimap.js';
import { createPlacement, placeLate, serveLayouts } from './placement.js';
import { blockWidth } from './layout.js';
import { keepLive } from './live.js';
import { createTickets } from './tickets.js';
import { createView, handleViewInput, handleViewKeys } from './view.js';
import { renderSideList } from './sidelist.js';
import { refreshBlock, showBlock, showConnection, showNothing } from './editor.js';
import { wireDocuments } from './documents.js';

const $ = (id) => document.getElementById(id);
const state = {
  net: null,
  at: new Map(),
  shown: new Set(),
  box: { x0: 0, y0: 0, x1: 1, y1: 1 },
  selection: {},
  filter: '',
  search: '',
  version: 0,
};
let live = null;
let view = null;
let graph = null;
let minimap = null;
let tickets = null;
let placeAll = null;

function say(text, isError = false) {
  $('status').textContent = text;
  $('status').className = isError ? 'error' : '';
}

function fail(e) {
  if (e.status === 401) {
    if (!$('login-dialog').open) $('login-dialog').showModal();
    return;
  }
  say(e.message, true);
}

// Runs a change and asks for the network at once, so the page shows it.
async function change(what, done) {
  try {
    await what();
    say(done);
  } catch (e) {
    fail(e);
  }
  await live.refresh();
}

// The box around the shown blocks.
function shownBox() {
  const box = { x0: Infinity, y0: Infinity, x1: -Infinity, y1: -Infinity };
  for (const name of state.shown) {
    const p = state.at.get(name);
    if (!p) continue;
    box.x0 = Math.min(box.x0, p.x);
    box.y0 = Math.min(box.y0, p.y);
    box.x1 = Math.max(box.x1, p.x + blockWidth);
    box.y1 = Math.max(box.y1, p.y + p.h);
  }
  return Number.isFinite(box.x0) ? box : { x0: 0, y0: 0, x1: 1, y1: 1 };
}

let sideListTimer = null;
// The side list after the drawing: with thousands of blocks it takes a while.
function scheduleSideList() {
  clearTimeout(sideListTimer);
  sideListTimer = setTimeout(() => {
    const blocks = [...state.shown].map((n) => state.net.blocks.get(n));
    const edges = [...state.net.edges.values()].filter((e) => state.shown.has(blockOf(e.from)) && state.shown.has(blockOf(e.to)));
    renderSideList($('side'), { blocks, edges });
    fillInputPorts();
  }, 0);
}

// The input ports offered when connecting from the keyboard.
function fillInputPorts() {
  const options = [];
  for (const b of state.net.blocks.values()) {
    for (const p of b.inputs) options.push(`<option value="${`${b.name}.${p.name}`.replace(/[&<>"']/g, '')}">`);
    if (options.length > 5000) break;
  }
  $('input-ports').innerHTML = options.join('');
}

// Recomputes what the filter shows and draws it.
function showFiltered({ fit = false } = {}) {
  state.shown = visibleNames(state.net, state.filter, state.search);
  state.box = shownBox();
  state.version++;
  graph.invalidate();
  minimap.paint();
  if (fit) view.fit(state.box);
  graph.drawNow();
  minimap.frame();
  document.body.dataset.blocks = String(state.shown.size);
  scheduleSideList();
}

function fillFactoryLists() {
  for (const select of [$('factory-filter'), $('create-factory')]) {
    const keep = select.value;
    const first = select.id === 'factory-filter' ? '<option value="">all</option>' : '';
    select.innerHTML = first + state.net.factories.map((f) => `<option>${f.replace(/[&<>"']/g, '')}</option>`).join('');
    select.value = keep;
    if (select.selectedIndex < 0) select.selectedIndex = 0;
  }
}

// Lays out the whole network and shows all of it.
async function layOutAll() {
  const started = performance.now();
  const placed = await placeAll(state.net, view.state.width / Math.max(1, view.state.height));
  window.fbwebLayoutMs = performance.now() - started;
  state.at = placed.at;
  showFiltered({ fit: true });
  document.body.dataset.fitted = 'true';
  window.fbwebFittedAt = performance.now();
}

// A change of the network (pushed, or found between two documents) applied
// where it is: new blocks are put beside the drawing, nothing else moves.
// What the page has already (its own edit, fetched at once and then pushed
// again) redraws nothing, and the panel in use stays open with its focus.
function applyNetworkChange(c) {
  const factories = state.net.factories.length;
  const { added, removed, touched, linked, unlinked } = applyChange(state.net, c);
  for (const name of removed) state.at.delete(name);
  for (const name of added) placeLate(state.at, state.net.blocks.get(name));
  if (state.net.factories.length !== factories) fillFactoryLists();
  const edges = [...linked, ...unlinked];
  const selected = state.selection.block && state.net.blocks.get(state.selection.block);
  if (state.selection.block && !selected) {
    state.selection = {};
    showNothing($('editor'));
  } else if (selected) {
    const mine = (e) => blockOf(e.from) === selected.name || blockOf(e.to) === selected.name;
    // Its connections are shown again, unless a property is being edited.
    if (edges.some(mine) && !document.activeElement?.dataset?.prop) reopenBlock(selected.name);
    else if (touched.has(selected.name)) refreshBlock($('editor'), selected);
  } else if (state.selection.edge && !state.net.edges.has(state.selection.edge)) {
    // The connection shown was taken away elsewhere.
    clearEdge(state.selection.edge);
  }
  if (added.length || removed.length) tickets.refresh();
  if (added.length || removed.length || edges.length) showFiltered();
  say(`updated ${new Date().toLocaleTimeString()}`);
}

function onDocument(doc) {
  if (!state.net) {
    window.fbwebDocumentAt = performance.now();
    state.net = flatten(doc);
    fillFactoryLists();
    layOutAll();
    tickets.refresh();
    say(`loaded ${new Date().toLocaleTimeString()}`);
    return;
  }
  applyNetworkChange(diff(state.net, flatten(doc)));
}

// Property writes: one request at a time per property, the latest value wins.
const pending = new Map();
const inFlight = new Set();
function writeProperty(block, name, value) {
  const key = `${block}.${name}`;
  pending.set(key, { block, name, value });
  if (inFlight.has(key)) return;
  inFlight.add(key);
  (async () => {
    while (pending.has(key)) {
      const w = pending.get(key);
      pending.delete(key);
      try {
        await call('PATCH', `/api/blocks/${encodeURIComponent(w.block)}/properties`, { [w.name]: w.value });
        say(`${w.block}.${w.name} = ${w.value}`);
      } catch (e) {
        fail(e);
      }
    }
    inFlight.delete(key);
  })();
}

const path = (name) => `/api/blocks/${encodeURIComponent(name)}`;

function openBlock(name) {
  const block = state.net.blocks.get(name);
  showBlock($('editor'), block, tickets.whyNot(name), {
    write: (prop, value) => writeProperty(name, prop, value),
    disconnect: (from, to) => change(() => call('DELETE', '/api/connections', { from, to }), `disconnected ${from} → ${to}`),
    connect: (from, to) =>
      change(async () => {
        await call('POST', '/api/connections', { from, to });
        if ($('connect-to')) $('connect-to').value = '';
      }, `connected ${from} → ${to}`),
    activate: (active) =>
      change(() => call('POST', `${path(name)}/activate`, { active }), `${name} ${active ? 'activated' : 'deactivated'}`),
    destroy: () => change(() => call('DELETE', path(name)), `destroyed ${name}`),
  });
}

// Shows the block's panel again with the keyboard where it was and what was
// being typed into the connect form kept; a control that is gone leaves the
// keyboard on the panel's heading.
function reopenBlock(name) {
  const panel = $('editor');
  const el = panel.contains(document.activeElement) ? document.activeElement : null;
  const typed = { from: $('connect-from')?.value, to: $('connect-to')?.value };
  openBlock(name);
  if (typed.from !== undefined && $('connect-from')) $('connect-from').value = typed.from;
  if (typed.to !== undefined && $('connect-to')) $('connect-to').value = typed.to;
  if (!el) return;
  const again = el.id
    ? $(el.id)
    : [...panel.querySelectorAll('button[data-from]')].find((b) => b.dataset.from === el.dataset.from && b.dataset.to === el.dataset.to);
  (again ?? panel.querySelector('h2')).focus();
}

// Selects a block: its editor in the panel; `centre` brings it into the
// middle of the view, `focus` moves the keyboard to the panel.
function selectBlock(name, { centre = false, focus = false } = {}) {
  if (!state.net.blocks.has(name)) return;
  state.selection = { block: name };
  openBlock(name);
  if (centre) {
    const p = state.at.get(name);
    if (p) view.centreOn(p.x + blockWidth / 2, p.y + p.h / 2, Math.max(view.state.scale, 0.8));
  }
  graph.invalidate();
  graph.update();
  if (focus) $('editor').querySelector('h2').focus();
}

// Leaves the connection's panel, if it is still the one shown.
function clearEdge(key) {
  if (state.selection.edge !== key) return;
  state.selection = {};
  showNothing($('editor'));
  graph.invalidate();
  graph.update();
}

function selectEdge(key) {
  const [from, to] = key.split('>');
  state.selection = { edge: key };
  showConnection($('editor'), from, to, (f, t) =>
    change(() => call('DELETE', '/api/connections', { from: f, to: t }), `disconnected ${f} → ${t}`).then(() => clearEdge(key)),
  );
  graph.invalidate();
  graph.update();
}

function wireDrawing() {
  const pane = $('graph-pane');
  const svg = $('graph');
  view = createView(() => {
    graph?.moved();
    minimap?.frame();
  });
  const model = () => ({ ...state });
  graph = createGraph(pane, view, model);
  minimap = createMinimap($('minimap'), view, model);
  new ResizeObserver(() => {
    graph.resize(pane.clientWidth, pane.clientHeight);
    view.resize(pane.clientWidth, pane.clientHeight);
  }).observe(pane);
  graph.resize(pane.clientWidth, pane.clientHeight);
  view.resize(pane.clientWidth, pane.clientHeight);

  handleViewInput(pane, view, {
    isEmpty: (t) => !t.closest('g.block, path.hit, .zoom-controls, #minimap'),
    // In the overview the blocks are pixels on a canvas: find the one pressed.
    onClick: (sx, sy) => {
      if (pane.dataset.mode !== 'overview') return;
      const w = view.toWorld(sx, sy);
      const name = graph.blockAt(w.x, w.y);
      if (name) selectBlock(name);
    },
  });
  handleViewKeys(pane, view, () => view.fit(state.box));
  handleConnectDrag(svg, view, (from, to) => change(() => call('POST', '/api/connections', { from, to }), `connected ${from} → ${to}`));
  svg.addEventListener('click', (ev) => {
    const edge = ev.target.closest('[data-edge]');
    if (edge) return selectEdge(edge.dataset.edge);
    const block = ev.target.closest('[data-select]');
    if (block && !ev.target.dataset.side) selectBlock(block.dataset.select);
  });
  svg.addEventListener('keydown', (ev) => {
    const block = ev.target.closest?.('g.block');
    if (!block || (ev.key !== 'Enter' && ev.key !== ' ')) return;
    ev.preventDefault();
    selectBlock(block.dataset.block, { focus: true });
  });
  $('zoom-in').addEventListener('click', () => view.zoomAt(1.25));
  $('zoom-out').addEventListener('click', () => view.zoomAt(0.8));
  $('zoom-fit').addEventListener('click', () => view.fit(state.box));
  $('relayout').addEventListener('click', () => state.net && layOutAll());
  // The canvas and the minimap take their colours when drawn: draw again
  // when the system switches between light and dark.
  window.matchMedia('(prefers-color-scheme: dark)').addEventListener('change', () => state.net && showFiltered());
}

function wireControls() {
  $('side').addEventListener('click', (ev) => {
    if (ev.target.dataset.select) selectBlock(ev.target.dataset.select, { centre: true });
  });
  $('factory-filter').addEventListener('change', (ev) => {
    state.filter = ev.target.value;
    showFiltered({ fit: true });
  });
  $('search').addEventListener('input', (ev) => {
    state.search = ev.target.value;
    showFiltered();
    if (state.shown.size === 1) selectBlock([...state.shown][0], { centre: true });
  });
  // Enter in the search centres the first match.
  $('search').addEventListener('keydown', (ev) => {
    if (ev.key !== 'Enter' || !state.shown.size) return;
    ev.preventDefault();
    selectBlock([...state.shown][0], { centre: true, focus: true });
  });
  wireDocuments({ fail, change });
  $('create-form').addEventListener('submit', (ev) => {
    ev.preventDefault();
    const factory = $('create-factory').value;
    const name = $('create-name').value;
    change(async () => {
      const r = await call('POST', '/api/blocks', { factory, name });
      $('create-name').value = '';
      return r;
    }, `created ${name}`);
  });
  $('login-form').addEventListener('submit', () => {
    setToken($('login-token').value);
    live.refresh();
  });
}

function start(scriptUrl) {
  adoptTokenFromAddress();
  placeAll = createPlacement(scriptUrl);
  wireDrawing();
  wireControls();
  tickets = createTickets(() => {
    if (state.selection.block && !document.activeElement?.dataset?.prop) reopenBlock(state.selection.block);
  });
  live = keepLive({
    onDocument,
    onChange: (c) => state.net && applyNetworkChange(c),
    onMode: (mode) => {
      $('live').textContent = mode === 'events' ? 'live' : 'polling';
      $('live').title = mode === 'events' ? 'changes are pushed by the server' : 'the network is asked for every 2 s';
      document.body.dataset.live = mode;
    },
    onError: fail,
  });
  live.start();
}

if (typeof document === 'undefined') serveLayouts(self);
else start(document.currentScript?.src);

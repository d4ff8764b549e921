// SPDX-License-Identifier: MIT
// The page's start: the token, the network polled from fbweb, the graph,
// the side list, the editor panel and the document upload and download.
import { adoptTokenFromAddress, call, pollNetwork, setToken } from './api.js';
import { flatten, visible, shapeKey } from './model.js';
import { draw, handleInput, layout } from './graph.js';
import { renderSideList } from './sidelist.js';
import { refreshBlock, showBlock, showConnection, showNothing } from './editor.js';

const $ = (id) => document.getElementById(id);
const state = { net: null, selection: {}, placed: null, shape: '', filter: '', search: '' };

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

let poll = null;

// Runs a change and asks for the network at once, so the page shows it.
async function change(what, done) {
  try {
    await what();
    say(done);
  } catch (e) {
    fail(e);
  }
  await poll.now();
}

function render() {
  if (!state.net) return;
  const view = visible(state.net, state.filter, state.search);
  const shape = shapeKey(view);
  if (shape !== state.shape) {
    const started = performance.now();
    state.placed = layout(view);
    state.shape = shape;
    window.fbwebLayoutMs = performance.now() - started;
  }
  draw($('graph'), view, state.placed, state.selection);
  renderSideList($('side'), view);
  const selected = state.selection.block && state.net.blocks.find((b) => b.name === state.selection.block);
  if (selected) refreshBlock($('editor'), selected);
  document.body.dataset.blocks = String(view.blocks.length);
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

function selectBlock(name) {
  const block = state.net.blocks.find((b) => b.name === name);
  if (!block) return;
  state.selection = { block: name };
  showBlock($('editor'), block, (prop, value) => writeProperty(name, prop, value));
  render();
}

function selectEdge(from, to) {
  state.selection = { edge: `${from}>${to}` };
  showConnection($('editor'), from, to, (f, t) =>
    change(() => call('DELETE', '/api/connections', { from: f, to: t }), `disconnected ${f} → ${t}`).then(() => {
      state.selection = {};
      showNothing($('editor'));
      render();
    }),
  );
  render();
}

async function download() {
  try {
    const r = await call('GET', '/api/network');
    const url = URL.createObjectURL(new Blob([JSON.stringify(r.data, null, 2) + '\n'], { type: 'application/json' }));
    const a = document.createElement('a');
    a.href = url;
    a.download = 'network.json';
    a.click();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
  } catch (e) {
    fail(e);
  }
}

// Shows the plan of an uploaded document and applies it when asked.
async function upload(file) {
  const text = await file.text();
  try {
    const r = await call('POST', '/api/restore?dry_run=1', text);
    const lines = r.data.plan.length ? r.data.plan : ['nothing to do'];
    $('plan-lines').innerHTML = '';
    for (const line of lines) {
      const li = document.createElement('li');
      li.textContent = line;
      $('plan-lines').appendChild(li);
    }
    $('plan-apply').onclick = () => {
      $('plan-dialog').close();
      change(() => call('POST', '/api/restore', text), `applied ${file.name}`);
    };
    $('plan-dialog').showModal();
  } catch (e) {
    fail(e);
  }
}

function start() {
  adoptTokenFromAddress();
  poll = pollNetwork(
    2000,
    (doc) => {
      state.net = flatten(doc);
      fillFactoryLists();
      render();
      say(`updated ${new Date().toLocaleTimeString()}`);
    },
    fail,
  );
  handleInput($('graph'), {
    onSelectBlock: selectBlock,
    onSelectEdge: selectEdge,
    onConnect: (from, to) => change(() => call('POST', '/api/connections', { from, to }), `connected ${from} → ${to}`),
  });
  $('side').addEventListener('click', (ev) => {
    if (ev.target.dataset.select) selectBlock(ev.target.dataset.select);
  });
  $('factory-filter').addEventListener('change', (ev) => {
    state.filter = ev.target.value;
    render();
  });
  $('search').addEventListener('input', (ev) => {
    state.search = ev.target.value;
    render();
  });
  $('download').addEventListener('click', download);
  $('upload').addEventListener('change', (ev) => {
    if (ev.target.files[0]) upload(ev.target.files[0]);
    ev.target.value = '';
  });
  $('plan-cancel').addEventListener('click', () => $('plan-dialog').close());
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
    poll.now();
  });
  poll.now();
}

start();

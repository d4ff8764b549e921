// SPDX-License-Identifier: MIT
// The page against a stand-in for fbweb on 127.0.0.1 that pushes changes:
// the stream carries the token of the page's address; a pushed property,
// block and connection show in place (nothing drawn moves), destroy and the activity switch follow the ticket list, and when
// the stream breaks the page goes on by polling.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { join } from 'node:path';
import { drawnBoxes, launchBrowser, until } from './browser.mjs';

const work = process.env.WORK;
mkdirSync(work, { recursive: true });
const bundle = join(work, 'bundle');
execFileSync(process.execPath, [join(process.env.WEB_DIR, 'bundle.mjs'), bundle]);

const port = (name, connections = []) => ({ name, connections });
const osc = (name, to = [], level = 0.5) => ({
  name,
  properties: [{ name: 'level', type: 'float', value: level }],
  inputs: [],
  outputs: [port('out', to)],
});
const mix = { name: 'm', properties: [], inputs: [port('in1', ['a.out']), port('in2')], outputs: [] };
let network = { factories: [{ name: 'osc', blocks: [osc('a', ['m.in1']), osc('b')] }, { name: 'mix', blocks: [mix] }] };
let etag = '"1"';

const streams = new Set();
const requests = [];
const files = { '/': ['index.html', 'text/html'], '/app.js': ['app.js', 'text/javascript'], '/app.css': ['app.css', 'text/css'] };
const server = createServer((req, res) => {
  const url = new URL(req.url, 'http://localhost');
  let body = '';
  req.on('data', (d) => (body += d));
  req.on('end', () => {
    requests.push(`${req.method} ${url.pathname} ${body}`.trim());
    const json = (status, value, headers = {}) => {
      res.writeHead(status, { 'Content-Type': 'application/json', ...headers });
      res.end(JSON.stringify(value));
    };
    if (files[url.pathname]) {
      const [file, type] = files[url.pathname];
      res.writeHead(200, { 'Content-Type': type });
      return res.end(readFileSync(join(bundle, file)));
    }
    if (url.pathname === '/api/network') {
      if (req.headers['if-none-match'] === etag) return res.writeHead(304, { ETag: etag }).end();
      return json(200, network, { ETag: etag });
    }
    if (url.pathname === '/api/events') {
      // The token reaches the stream as it reaches every other request.
      if (req.headers.authorization !== 'Bearer s3cret') return json(401, { error: 'a valid token is needed' });
      res.writeHead(200, { 'Content-Type': 'text/event-stream', 'Cache-Control': 'no-store' });
      res.write(`: keep-alive\n\nevent: hello\ndata: ${JSON.stringify({ etag })}\n\n`);
      streams.add(res);
      res.on('close', () => streams.delete(res));
      return undefined;
    }
    if (url.pathname === '/api/tickets') return json(200, { blocks: [{ name: 'a', factory: 'osc' }] });
    if (req.method === 'DELETE' && url.pathname === '/api/blocks/a') return json(200, { destroyed: 'a' });
    if (req.method === 'POST' && url.pathname === '/api/blocks/a/activate') return json(200, {});
    return json(404, { error: 'no such resource' });
  });
});
await new Promise((r) => server.listen(0, '127.0.0.1', r));
const base = `http://127.0.0.1:${server.address().port}`;

function push(change) {
  etag = change.etag;
  const text = `event: change\nid: ${etag.replaceAll('"', '')}\ndata: ${JSON.stringify(change)}\n\n`;
  for (const s of streams) s.write(text);
}

const browser = await launchBrowser();
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1200, height: 800 });
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('dialog', (d) => d.accept());
  page.on('console', (m) => process.env.DEBUG && console.log('console:', m.text()));
  page.on('pageerror', (e) => process.env.DEBUG && console.log('pageerror:', e.message));
  await page.goto(base + '/?token=s3cret');
  await page.waitForSelector('body[data-fitted="true"][data-live="events"]');
  const before = await drawnBoxes(page);
  // The layout ran on a worker: the page's script was fetched a second time.
  assert.equal(requests.filter((r) => r === 'GET /app.js').length, 2);

  // A pushed property shows in the open editor; a pushed block and
  // connection are drawn; what was drawn stays where it was.
  await page.click('g.block[data-block="a"] rect.head');
  await page.waitForSelector('#editor input[type=number][data-prop="level"]');
  push({
    etag: '"2"',
    properties: [{ block: 'a', name: 'level', value: 0.9 }],
    blocks_added: [{ factory: 'osc', ...osc('n') }],
    connections_added: [{ from: 'n.out', to: 'm.in2' }],
  });
  await page.waitForSelector('body[data-blocks="4"]');
  await page.waitForFunction(() => document.querySelector('#editor input[type=number][data-prop="level"]').value === '0.9');
  await page.waitForFunction(() => document.querySelectorAll('svg path.edge').length === 2);
  const after = await drawnBoxes(page);
  for (const name of ['a', 'b', 'm']) assert.deepEqual(after.blocks[name], before.blocks[name], `${name} did not move`);
  await page.screenshot({ path: join(work, 'page-events.png') });

  // The ticket of `a` is known: destroy and switch it. `m`'s is not: both
  // disabled, with the reason.
  await page.waitForSelector('#block-destroy:enabled');
  await page.click('#block-active');
  await until('the activity request', () => requests.includes('POST /api/blocks/a/activate {"active":false}'));
  await page.click('#block-destroy');
  await until('the destroy request', () => requests.includes('DELETE /api/blocks/a'));
  await page.click('#side button[data-select="m"]');
  await page.waitForFunction(() => document.querySelector('#editor h2')?.textContent.startsWith('m'));
  assert.ok(await page.$eval('#block-destroy', (b) => b.disabled));
  assert.ok(await page.$eval('#block-active', (b) => b.disabled));
  assert.match(await page.$eval('#block-reason', (p) => p.textContent), /ticket is unknown/);

  // Its removal pushed: gone from the drawing, the list and the panel.
  push({ etag: '"3"', blocks_removed: ['a'], connections_removed: [{ from: 'a.out', to: 'm.in1' }] });
  await page.waitForSelector('body[data-blocks="3"]');
  assert.ok(!(await page.$('g.block[data-block="a"]')));

  // The stream breaks: the page polls, and a change made meanwhile shows.
  network = { factories: [{ name: 'osc', blocks: [osc('b'), osc('n', ['m.in2'], 0.1)] }, { name: 'mix', blocks: [mix] }] };
  network.factories[1].blocks = [{ ...mix, inputs: [port('in1'), port('in2', ['n.out'])] }];
  network.factories[0].blocks.push(osc('late'));
  etag = '"4"';
  for (const s of streams) s.end();
  await page.waitForSelector('body[data-live="polling"]');
  await page.waitForSelector('body[data-blocks="4"]', { timeout: 10000 });
  assert.ok(await page.$('g.block[data-block="late"]'));
  assert.deepEqual(errors, []);
  console.log('page events test passed; screenshot in', work);
} finally {
  await browser.close();
  server.closeAllConnections();
  server.close();
}

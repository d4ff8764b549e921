// SPDX-License-Identifier: MIT
// The page in headless chromium against the emulated device: it shows every
// block, a property changed in it reaches the device, a connection dragged
// in it appears in `patchbay -l out`, and an edge disconnects. Keeps a
// screenshot in WORK/page.png.
import assert from 'node:assert/strict';
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { launchBrowser, patchbay, startServer } from './browser.mjs';

const work = process.env.WORK;
mkdirSync(work, { recursive: true });
const state = join(work, 'state.json');

async function until(what, check, timeout = 20000) {
  const end = Date.now() + timeout;
  for (;;) {
    if (await check()) return;
    if (Date.now() > end) throw new Error(`timed out waiting until ${what}`);
    await new Promise((r) => setTimeout(r, 200));
  }
}

async function api(base, path) {
  return (await fetch(base + path)).json();
}

// Drags with the mouse from the centre of one element to another's.
async function drag(page, fromSelector, toSelector) {
  const a = await (await page.$(fromSelector)).boundingBox();
  const b = await (await page.$(toSelector)).boundingBox();
  await page.mouse.move(a.x + a.width / 2, a.y + a.height / 2);
  await page.mouse.down();
  await page.mouse.move((a.x + b.x) / 2, (a.y + b.y) / 2, { steps: 5 });
  await page.mouse.move(b.x + b.width / 2, b.y + b.height / 2, { steps: 5 });
  await page.mouse.up();
}

const server = await startServer(state);
const browser = await launchBrowser();
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(server.base + '/');

  // Every block of the default network, drawn and in the side list's text.
  const doc = await api(server.base, '/api/network');
  const names = doc.factories.flatMap((f) => f.blocks.map((b) => b.name));
  assert.equal(names.length, 7);
  await page.waitForSelector('body[data-blocks="7"]');
  const drawn = await page.$$eval('svg g.block', (gs) => gs.map((g) => g.dataset.block).sort());
  assert.deepEqual(drawn, [...names].sort());
  const listed = await page.$eval('#side', (nav) => nav.textContent);
  for (const name of names) assert.ok(listed.includes(name), `${name} in the side list`);
  assert.ok(listed.includes('osc2.out'), 'connections in the side list');
  assert.equal(await page.$$eval('svg path.edge', (ps) => ps.length), 8);
  await page.screenshot({ path: join(work, 'page.png') });

  // A property changed in the page is on the device.
  await page.click('rect.head[data-select="volume"]');
  await page.waitForSelector('#editor input[type=number][data-prop="level"]');
  const field = await page.$('#editor input[type=number][data-prop="level"]');
  await field.click({ clickCount: 3 });
  await field.type('0.3');
  await field.press('Enter');
  await until('volume.level is 0.3', async () => {
    const b = await api(server.base, '/api/blocks/volume');
    return b.properties.find((p) => p.name === 'level').value === 0.3;
  });
  assert.match(patchbay(state, '-l', 'prop', 'volume'), /level\s.*0\.3/);

  // A choice list writes an enum by name.
  await page.click('rect.head[data-select="osc1"]');
  await page.waitForSelector('#editor select[data-prop="waveform"]');
  await page.select('#editor select[data-prop="waveform"]', 'triangle');
  await until('osc1.waveform is triangle', async () => {
    const b = await api(server.base, '/api/blocks/osc1');
    return b.properties.find((p) => p.name === 'waveform').value.index === 3;
  });

  // A connection dragged from an output port to an input port.
  await drag(page, 'circle.port[data-block="osc1"][data-side="out"]', 'circle.port[data-block="mix"][data-port="in4"]');
  await until('patchbay lists osc1.out -> mix.in4', () => /mix\.in4/.test(patchbay(state, '-l', 'out', 'osc1')));
  await page.waitForFunction(() => document.querySelectorAll('svg path.edge').length === 9);
  await page.screenshot({ path: join(work, 'page-connected.png') });

  // Disconnected from its edge.
  await page.click('path.hit[data-edge="osc1.out>mix.in4"]');
  await page.click('#disconnect');
  await until('the connection is gone', () => !/mix\.in4/.test(patchbay(state, '-l', 'out', 'osc1')));

  // Filter and search leave only the matching blocks, drawn and listed.
  await page.select('#factory-filter', 'sine_osc');
  await page.waitForSelector('body[data-blocks="2"]');
  await page.type('#search', 'osc2');
  await page.waitForSelector('body[data-blocks="1"]');

  assert.deepEqual(errors, []);
  console.log('page test passed; screenshots in', work);
} finally {
  await browser.close();
  await server.stop();
}

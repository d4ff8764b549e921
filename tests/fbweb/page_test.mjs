// SPDX-License-Identifier: MIT
// The page in headless chromium against the emulated device: it fits the
// whole network at first load, zooms and pans, is used from the keyboard,
// shows a change made by another program without a reload, passes the
// accessibility audit in light and dark; a property changed in it reaches
// the device, a connection dragged in it appears in `patchbay -l out`, and
// an edge disconnects. Keeps screenshots in WORK.
import assert from 'node:assert/strict';
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { drawnBoxes, launchBrowser, patchbay, patchbayWithInput, seriousViolations, startServer, until } from './browser.mjs';

const work = process.env.WORK;
mkdirSync(work, { recursive: true });
const state = join(work, 'state.json');
const near = (a, b, what) => assert.ok(Math.abs(a - b) < 1.5, `${what}: ${a} is not ${b}`);

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
  await page.setBypassCSP(true);
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(server.base + '/');

  // Every block of the default network, drawn and in the side list's text.
  const doc = await api(server.base, '/api/network');
  const names = doc.factories.flatMap((f) => f.blocks.map((b) => b.name));
  assert.equal(names.length, 7);
  await page.waitForSelector('body[data-blocks="7"][data-fitted="true"]');
  await page.waitForFunction(() => document.querySelectorAll('#side .side-block').length === 7);
  const drawn = await page.$$eval('svg g.block', (gs) => gs.map((g) => g.dataset.block).sort());
  assert.deepEqual(drawn, [...names].sort());
  const listed = await page.$eval('#side', (nav) => nav.textContent);
  for (const name of names) assert.ok(listed.includes(name), `${name} in the side list`);
  assert.ok(listed.includes('osc2.out'), 'connections in the side list');
  assert.equal(await page.$$eval('svg path.edge', (ps) => ps.length), 8);
  await page.screenshot({ path: join(work, 'page.png') });

  // Fitted at first load: every block wholly inside the drawing's pane.
  const fitted = await drawnBoxes(page);
  for (const [name, b] of Object.entries(fitted.blocks)) {
    const p = fitted.pane;
    assert.ok(b.x >= p.x && b.y >= p.y && b.x + b.w <= p.x + p.w && b.y + b.h <= p.y + p.h, `${name} inside the view`);
  }

  // Zoom by button and wheel, pan by a drag on empty space, fit again.
  const { pane } = fitted;
  const volume = fitted.blocks.volume;
  await page.click('#zoom-in');
  let now = (await drawnBoxes(page)).blocks.volume;
  near(now.w, volume.w * 1.25, 'width after zooming in');
  await page.click('#zoom-out');
  near((await drawnBoxes(page)).blocks.volume.w, volume.w, 'width after zooming back out');
  // Empty: the fit leaves a margin at the pane's edges.
  const empty = { x: pane.x + 6, y: pane.y + pane.h - 6 };
  await page.mouse.move(empty.x, empty.y);
  await page.mouse.down();
  await page.mouse.move(empty.x + 40, empty.y - 15, { steps: 4 });
  await page.mouse.move(empty.x + 80, empty.y - 30, { steps: 4 });
  await page.mouse.up();
  now = (await drawnBoxes(page)).blocks.volume;
  near(now.x, volume.x + 80, 'x after the drag');
  near(now.y, volume.y - 30, 'y after the drag');
  await page.mouse.move(now.x + now.w / 2, now.y + 5);
  await page.mouse.wheel({ deltaY: -300 });
  await page.waitForFunction((w) => document.querySelector('g.block[data-block="volume"] rect.body').getBoundingClientRect().width > w * 1.2, {}, now.w);
  await page.click('#zoom-fit');
  near((await drawnBoxes(page)).blocks.volume.x, volume.x, 'x after fitting again');

  // Two fingers spread apart on the drawing zoom in about their middle.
  const touch = await page.createCDPSession();
  const middle = { x: volume.x + volume.w / 2, y: volume.y + volume.h / 2 };
  const fingers = (spread) => [
    { x: middle.x - spread, y: middle.y, id: 1 },
    { x: middle.x + spread, y: middle.y, id: 2 },
  ];
  await touch.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: fingers(10) });
  for (const spread of [15, 20, 25, 30]) await touch.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: fingers(spread) });
  await touch.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  near((await drawnBoxes(page)).blocks.volume.w, volume.w * 3, 'width after the pinch');
  await page.click('#zoom-fit');

  // From the keyboard: Tab reaches a block, its focus ring shows, Enter
  // opens its properties.
  await page.focus('#search');
  let focused = null;
  for (let i = 0; i < 40 && !focused; i++) {
    await page.keyboard.press('Tab');
    focused = await page.evaluate(() => document.activeElement.closest?.('g.block')?.dataset.block ?? null);
  }
  assert.ok(focused, 'Tab reaches a block of the drawing');
  const ring = await page.evaluate(() => getComputedStyle(document.activeElement.querySelector('rect.body')).strokeWidth);
  assert.equal(ring, '4px', 'the focused block shows its ring');
  await page.keyboard.press('Enter');
  await page.waitForFunction((name) => document.querySelector('#editor h2')?.textContent.startsWith(name), {}, focused);
  assert.ok(await page.evaluate(() => document.getElementById('editor').contains(document.activeElement)), 'the panel has the focus');

  // No serious or critical accessibility fault, in light or dark.
  assert.deepEqual(await seriousViolations(page), [], 'light');
  await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
  await page.evaluate(() => document.getElementById('zoom-fit').click());
  assert.deepEqual(await seriousViolations(page), [], 'dark');
  await page.screenshot({ path: join(work, 'page-dark.png') });
  await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'light' }]);
  // The change of scheme redraws the drawing; wait for it before clicking.
  await drawnBoxes(page);

  // A block made and a property written by patchbay's test session in
  // another process show without a reload, and nothing drawn moves.
  // The panel is open before the change comes, so that it is updated in
  // place (and no click races the redraw the change brings).
  await page.click('g.block[data-block="volume"] rect.head');
  await page.waitForFunction(() => document.querySelector('#editor h2')?.textContent.startsWith('volume'));
  patchbayWithInput(state, '6\nsine_osc\nlate1\n8\nvolume\nlevel\nfloat\n0.25\n11\n', '-c', 'test');
  await page.waitForSelector('body[data-blocks="8"]', { timeout: 20000 });
  await page.waitForFunction(() => document.querySelector('#editor input[type=number][data-prop="level"]').value === '0.25');
  near((await drawnBoxes(page)).blocks.volume.x, volume.x, 'volume stays where it was');
  await page.waitForFunction(() => document.getElementById('side').textContent.includes('late1'));
  console.log(`a change by another process shown (${await page.evaluate(() => document.body.dataset.live)})`);

  // A block whose ticket is unknown (made by the test session) or a server
  // without the ticket registry: the destroy button is disabled, saying why.
  await page.click('#side button[data-select="late1"]');
  await page.waitForFunction(() => document.querySelector('#editor h2')?.textContent.startsWith('late1'));
  await page.waitForFunction(() => !document.querySelector('#block-reason')?.textContent.startsWith('checking'));
  assert.ok(await page.$eval('#block-destroy', (b) => b.disabled));
  assert.match(await page.$eval('#block-reason', (p) => p.textContent), /cannot destroy|ticket is unknown/);
  // Selected in the side list, the block is in the middle of the view.
  const late = (await drawnBoxes(page)).blocks.late1;
  near(late.x + late.w / 2, pane.x + pane.w / 2, 'late1 centred across');
  await page.click('#zoom-fit');
  await drawnBoxes(page);

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
  await page.waitForFunction(() => document.querySelector('#side p')?.textContent.includes('8 connections'));

  // The same from the keyboard, in the panel of the block. Connections made
  // and taken away by another client meanwhile redraw the side list; the
  // button keeps the keyboard.
  await page.focus('#side button[data-select="osc1"]');
  for (const [method, edges] of [['POST', 9], ['DELETE', 8]]) {
    const r = await fetch(server.base + '/api/connections', {
      method,
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ from: 'osc2.out', to: 'mix.in4' }),
    });
    assert.ok(r.ok, `${method} of a connection by another client: ${r.status}`);
    await page.waitForFunction((n) => document.querySelector('#side p')?.textContent.includes(`${n} connections`), {}, edges);
    assert.equal(await page.evaluate(() => document.activeElement.dataset.select ?? document.activeElement.tagName), 'osc1', `the focus after the ${method}`);
  }
  await page.keyboard.press('Enter');
  await page.waitForSelector('#connect-to');
  await page.focus('#connect-to');
  await page.keyboard.type('mix.in4');
  await page.keyboard.press('Enter');
  await until('connected from the keyboard', () => /mix\.in4/.test(patchbay(state, '-l', 'out', 'osc1')));
  await page.waitForSelector('#editor button[data-to="mix.in4"]');
  await page.screenshot({ path: join(work, 'page-keyboard.png') });
  await page.focus('#editor button[data-to="mix.in4"]');
  await page.keyboard.press('Enter');
  await until('disconnected from the keyboard', () => !/mix\.in4/.test(patchbay(state, '-l', 'out', 'osc1')));

  // Filter and search leave only the matching blocks, drawn and listed.
  await page.select('#factory-filter', 'sine_osc');
  await page.waitForSelector('body[data-blocks="3"]');
  await page.type('#search', 'osc2');
  await page.waitForSelector('body[data-blocks="1"]');

  assert.deepEqual(errors, []);
  console.log('page test passed; screenshots in', work);
} finally {
  await browser.close();
  await server.stop();
}

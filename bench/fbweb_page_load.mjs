// SPDX-License-Identifier: MIT
// Page load time with a large network, for the figures in the documentation
// (not a test): fbweb against an emulated device of BLOCKS blocks (default
// 1000) in 10 factories, chained output to input, opened in headless
// chromium until the whole network is laid out and drawn fitted to the
// view; then the time of a frame while panning and zooming, and the sizes
// of the page's files. Keeps screenshots (light and dark) in WORK.
//
//   FBEMU=build/native/emu/fbemu FBWEB=build/native/fbweb/fbweb WEB_DIR=web WORK=/tmp/load \
//     PAGE_DIR=build/native/fbweb/page node bench/fbweb_page_load.mjs [BLOCKS]
import { mkdirSync, readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { gzipSync } from 'node:zlib';
import { join } from 'node:path';
import { launchBrowser, startServer } from '../tests/fbweb/browser.mjs';  // the page tests' server and browser

const count = Number(process.argv[2] ?? 1000);
const work = process.env.WORK;
mkdirSync(work, { recursive: true });

const factories = Array.from({ length: 10 }, (_, f) => ({
  name: `stage${f}`,
  inputs: ['in', 'aux'],
  outputs: ['out', 'send'],
  properties: [
    { name: 'level', type: 'float', default: 0.5 },
    { name: 'mode', type: 'enum', choices: ['a', 'b', 'c'], default: 0 },
    { name: 'taps', type: 'uint32', default: 8 },
  ],
}));
const blocks = Array.from({ length: count }, (_, i) => ({ name: `b${i}`, factory: `stage${i % 10}`, ticket: i + 1 }));
const connections = [];
for (let i = 1; i < count; i++) {
  connections.push({ from: `b${i - 1}.out`, to: `b${i}.in` });
  if (i % 7 === 0) connections.push({ from: `b${i - 7}.send`, to: `b${i}.aux` });
}
const catalog = join(work, 'catalog.json');
writeFileSync(catalog, JSON.stringify({ factories, blocks, connections }));

const server = await startServer(join(work, 'state.json'), ['--catalog', catalog]);
const browser = await launchBrowser();
try {
  let started = Date.now();
  await (await fetch(server.base + '/api/network')).text();
  const apiMs = Date.now() - started;
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  started = Date.now();
  await page.goto(server.base + '/');
  await page.waitForSelector(`body[data-blocks="${count}"][data-fitted="true"]`, { timeout: 300000 });
  const loadMs = Date.now() - started;
  const layoutMs = await page.evaluate(() => window.fbwebLayoutMs);
  // The first answer to /api/network: fbweb reading the whole device.
  const network = await page.evaluate(() => {
    const e = performance.getEntriesByType('resource').find((r) => r.name.endsWith('/api/network'));
    return { start: e.startTime, duration: e.duration, parsed: window.fbwebDocumentAt, fitted: window.fbwebFittedAt };
  });
  const fetchMs = network.duration;
  await page.screenshot({ path: join(work, 'page-large.png') });
  const fittedDrawMs = await page.evaluate(() => window.fbwebDrawMs);
  await page.waitForFunction((n) => document.querySelectorAll('#side .side-block').length === n, { timeout: 300000 }, count);
  const listedMs = Date.now() - started;

  // Frames while the view moves: drags on the drawing and wheel steps.
  const pane = await (await page.$('#graph-pane')).boundingBox();
  await page.evaluate(() => {
    const times = [];
    let last = performance.now();
    let running = true;
    const tick = (t) => {
      times.push(t - last);
      last = t;
      if (running) requestAnimationFrame(tick);
    };
    requestAnimationFrame(tick);
    window.stopFrames = () => {
      running = false;
      return times.slice(1);
    };
  });
  const cx = pane.x + pane.width / 3;
  const cy = pane.y + pane.height / 2;
  for (let i = 0; i < 3; i++) {
    await page.mouse.move(cx, cy);
    await page.mouse.down();
    await page.mouse.move(cx + 200, cy + 80, { steps: 20 });
    await page.mouse.up();
    await page.mouse.wheel({ deltaY: -400 });
  }
  const times = await page.evaluate(() => window.stopFrames());
  times.sort((a, b) => a - b);
  const p95 = times[Math.floor(times.length * 0.95)] ?? 0;
  // A block chosen in the side list, centred close up among its neighbours.
  await page.$eval(`#side button[data-select="b${Math.floor(count / 2)}"]`, (b) => b.click());
  await new Promise((r) => setTimeout(r, 500));
  await page.screenshot({ path: join(work, 'page-large-zoomed.png') });
  await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
  await page.click('#zoom-fit');
  await page.screenshot({ path: join(work, 'page-large-dark.png') });

  started = Date.now();
  await page.select('#factory-filter', 'stage3');
  await page.waitForSelector(`body[data-blocks="${count / 10}"]`);
  const filterMs = Date.now() - started;
  const dir = process.env.PAGE_DIR;
  console.log(`${count} blocks, ${connections.length} connections`);
  console.log(`GET /api/network alone:                ${apiMs} ms`);
  console.log(`navigation until the fitted view:     ${loadMs} ms`);
  console.log(`  of which GET /api/network:            ${Math.round(fetchMs)} ms`);
  console.log(`  of which layout (worker):             ${Math.round(layoutMs)} ms`);
  console.log(
    `  page clock: document asked at ${Math.round(network.start)}, parsed at ${Math.round(network.parsed)}, fitted at ${Math.round(network.fitted)} ms`,
  );
  console.log(`navigation until the side list too:   ${listedMs} ms`);
  console.log(`drawing the fitted view once:         ${fittedDrawMs.toFixed(1)} ms`);
  console.log(`frames while panning and zooming:     ${times.length}, 95th percentile ${p95.toFixed(1)} ms`);
  console.log(`filter to one factory:                ${filterMs} ms`);
  if (dir) {
    for (const f of readdirSync(dir).sort()) {
      const bytes = readFileSync(join(dir, f));
      console.log(`page file ${f}: ${bytes.length} bytes, ${gzipSync(bytes, { level: 9 }).length} gzipped`);
    }
  }
} finally {
  await browser.close();
  await server.stop();
}

// SPDX-License-Identifier: MIT
// Page load time with a large network, for the figures in the documentation
// (not a test): fbweb against an emulated device of BLOCKS blocks (default
// 1000) in 10 factories, chained output to input, opened in headless
// chromium until every block is drawn and listed.
//
//   FBEMU=build/native/emu/fbemu FBWEB=build/native/fbweb/fbweb WEB_DIR=web WORK=/tmp/load \
//     node bench/fbweb_page_load.mjs [BLOCKS]
import { mkdirSync, writeFileSync } from 'node:fs';
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
  await page.waitForSelector(`body[data-blocks="${count}"]`, { timeout: 300000 });
  const loadMs = Date.now() - started;
  const layoutMs = await page.evaluate(() => window.fbwebLayoutMs);
  // The first answer to /api/network: fbweb reading the whole device.
  const fetchMs = await page.evaluate(
    () => performance.getEntriesByType('resource').find((e) => e.name.endsWith('/api/network')).duration,
  );
  const drawn = await page.$$eval('svg g.block', (gs) => gs.length);
  started = Date.now();
  await page.select('#factory-filter', 'stage3');
  await page.waitForSelector(`body[data-blocks="${count / 10}"]`);
  const filterMs = Date.now() - started;
  await page.screenshot({ path: join(work, 'page-large.png') });
  console.log(`${count} blocks, ${connections.length} connections (${drawn} drawn)`);
  console.log(`GET /api/network alone:              ${apiMs} ms`);
  console.log(`page load until every block is shown: ${loadMs} ms`);
  console.log(`  of which GET /api/network:          ${Math.round(fetchMs)} ms`);
  console.log(`  of which dagre layout:              ${Math.round(layoutMs)} ms`);
  console.log(`filter to one factory:               ${filterMs} ms`);
} finally {
  await browser.close();
  await server.stop();
}

// SPDX-License-Identifier: MIT
// The harness of the page tests: fbweb started on a free loopback port
// against the emulated device, and headless chromium driven by puppeteer-core
// (from web/node_modules; it never downloads a browser of its own).
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createInterface } from 'node:readline';

const require = createRequire(join(process.env.WEB_DIR, 'package.json'));
const puppeteer = require('puppeteer-core');

// fbweb with a fresh device in `state`; resolves to {base, stop()}.
export function startServer(state, extraLauncherArgs = []) {
  const child = spawn(
    process.env.FBEMU,
    ['--state', state, '--fresh', ...extraLauncherArgs, 'run', '--', process.env.FBWEB, '--listen', '127.0.0.1:0', '--no-log'],
    { stdio: ['ignore', 'pipe', 'inherit'] },
  );
  return new Promise((resolve, reject) => {
    const lines = createInterface({ input: child.stdout });
    const timer = setTimeout(() => reject(new Error('fbweb did not start')), 60000);
    lines.once('line', (line) => {
      clearTimeout(timer);
      const match = /^fbweb: listening on (http:\/\/127\.0\.0\.1:\d+)\/$/.exec(line);
      if (!match) return reject(new Error(`fbweb said: ${line}`));
      resolve({
        base: match[1],
        stop: () =>
          new Promise((done) => {
            child.once('exit', done);
            child.kill('SIGTERM');
          }),
      });
    });
  });
}

export function launchBrowser() {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    userDataDir: mkdtempSync(join(tmpdir(), 'fbweb-chromium-')),
    args: [
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
}

// `patchbay ARGS` against the device in `state`: its standard output.
export function patchbay(state, ...args) {
  return patchbayWithInput(state, '', ...args);
}

// The same with `input` on its standard input (a test session's answers).
export function patchbayWithInput(state, input, ...args) {
  return execFileSync(process.env.FBEMU, ['--state', state, 'run', '--', process.env.PATCHBAY, ...args], {
    encoding: 'utf8',
    input,
  });
}

export async function until(what, check, timeout = 20000) {
  const end = Date.now() + timeout;
  for (;;) {
    if (await check()) return;
    if (Date.now() > end) throw new Error(`timed out waiting until ${what}`);
    await new Promise((r) => setTimeout(r, 200));
  }
}

// The accessibility audit of the page as it is: the violations of impact
// serious or critical, as "rule: target" lines. The page must have been
// opened with CSP bypassed (page.setBypassCSP) so that the auditor loads.
export async function seriousViolations(page) {
  await page.addScriptTag({ path: join(process.env.WEB_DIR, 'node_modules', 'axe-core', 'axe.min.js') });
  const violations = await page.evaluate(async () => (await window.axe.run(document)).violations);
  return violations
    .filter((v) => v.impact === 'serious' || v.impact === 'critical')
    .flatMap((v) => v.nodes.map((n) => `${v.id}: ${n.target.join(' ')} (${n.failureSummary})`));
}

// The screen boxes of the blocks drawn and of the drawing's pane, once the
// drawing has caught up (it draws at the next frame).
export async function drawnBoxes(page) {
  return page.evaluate(async () => {
    await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
    const box = (el) => {
      const r = el.getBoundingClientRect();
      return { x: r.x, y: r.y, w: r.width, h: r.height };
    };
    return {
      pane: box(document.getElementById('graph-pane')),
      blocks: Object.fromEntries([...document.querySelectorAll('svg g.block')].map((g) => [g.dataset.block, box(g.querySelector('rect.body'))])),
    };
  });
}

// SPDX-License-Identifier: MIT
// Bundles src/ into the three files fbweb serves: index.html, app.js
// (the page's script, minified; it also runs as the layout worker) and
// app.css.
import { build } from 'esbuild';
import { copyFileSync, mkdirSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const out = resolve(process.argv[2] ?? 'dist');
mkdirSync(out, { recursive: true });
await build({
  entryPoints: [join(here, 'src', 'main.js')],
  bundle: true,
  minify: true,
  format: 'iife',
  target: ['es2020'],
  legalComments: 'none',
  outfile: join(out, 'app.js'),
  logLevel: 'warning',
});
copyFileSync(join(here, 'src', 'index.html'), join(out, 'index.html'));
copyFileSync(join(here, 'src', 'style.css'), join(out, 'app.css'));

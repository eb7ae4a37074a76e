// Builds the web page: one index.html that holds its style, its script, the
// engine's worker and the WebAssembly module (gzip, base64), under a security policy that names
// its script and style by hash; beside it the manifest, the icons and the service
// worker whose cache is named after the version and the page's hash.
//
// The PNG icons an installed page needs are rendered here from the window's SVG icon:
// the artwork as it is at 192 and 512 pixels, and a full-bleed form (its tile's
// gradient to every edge, the artwork within the safe circle) for launchers that
// mask icons and for Apple's touch icon.
//
// node make_page.mjs --page DIR --glue FILE.js --wasm FILE.wasm --svg-icon FILE
//                    --rsvg-convert PROGRAM --version X.Y.Z --out DIR
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdirSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { basename, join } from 'node:path';
import { constants, gzipSync } from 'node:zlib';

function options(argv) {
  const result = {};
  for (let i = 2; i < argv.length; i += 2) {
    if (!argv[i].startsWith('--') || i + 1 >= argv.length) throw new Error(`bad argument ${argv[i]}`);
    result[argv[i].slice(2)] = argv[i + 1];
  }
  for (const name of ['page', 'glue', 'wasm', 'svg-icon', 'rsvg-convert', 'version', 'out']) {
    if (!result[name]) throw new Error(`--${name} is missing`);
  }
  return result;
}

const sha256 = (text, encoding) => createHash('sha256').update(text).digest(encoding);

// Replaces each @NAME@ with its value, and fails on one left without a value: a
// page with a placeholder in it would be quietly broken.
function fill(template, values) {
  return template.replace(/@([A-Z]+)@/g, (whole, name) => {
    if (!(name in values)) throw new Error(`no value for ${whole}`);
    return values[name];
  });
}

// Text that goes inside a <script> element must not end it early.
function scriptSafe(text, what) {
  if (/<\/script|<!--/i.test(text)) throw new Error(`${what} holds "</script" or "<!--"`);
  return text;
}

const args = options(process.argv);
const read = (name) => readFileSync(join(args.page, name), 'utf8');
const svgIcon = args['svg-icon'];

// The artwork with its rounded tile taken out, inside a square that its tile's
// gradient fills edge to edge: what a mask of any shape may cut leaves the page
// and its seal whole (they lie within the circle of 80 % that such a mask keeps).
function fullBleed(svg) {
  const root = /<svg\b[^>]*>([\s\S]*)<\/svg>\s*$/.exec(svg);
  const tile = /<!-- tile -->\s*<rect\b[^>]*fill="url\(#bg\)"\/>/;
  if (!root || !tile.test(root[1])) throw new Error(`${svgIcon}: no tile to take out`);
  const inner = root[1].replace(tile, '');
  return '<svg xmlns="http://www.w3.org/2000/svg" width="512" height="512" viewBox="0 0 512 512">' +
    '<rect width="512" height="512" fill="url(#bg)"/>' +
    `<svg x="46" y="46" width="420" height="420" viewBox="0 0 256 256">${inner}</svg></svg>`;
}

const png = (svg, pixels) =>
  execFileSync(args['rsvg-convert'], ['--width', `${pixels}`, '--height', `${pixels}`], { input: svg });
const artwork = readFileSync(svgIcon, 'utf8');
const pngIcons = {
  'tarnel-192.png': png(artwork, 192),
  'tarnel-512.png': png(artwork, 512),
  'tarnel-maskable-512.png': png(fullBleed(artwork), 512),
  'apple-touch-icon.png': png(fullBleed(artwork), 180),
};

const style = read('style.css');
const script = scriptSafe(read('page.js'), 'page.js');
const worker = scriptSafe(`${readFileSync(args.glue, 'utf8')}\n${read('worker.js')}`, 'the worker');
// Packed, the module takes half the room; the worker unpacks it with the browser's
// own DecompressionStream.
const module = gzipSync(readFileSync(args.wasm), { level: constants.Z_BEST_COMPRESSION }).toString('base64');
const icon = `data:image/svg+xml;base64,${readFileSync(svgIcon).toString('base64')}`;

const policy = [
  "default-src 'none'",
  `script-src 'sha256-${sha256(script, 'base64')}' 'wasm-unsafe-eval'`,
  `style-src 'sha256-${sha256(style, 'base64')}'`,
  "img-src 'self' data:",
  "manifest-src 'self'",
  "worker-src 'self' blob:",
  "connect-src 'none'",
  "base-uri 'none'",
  "form-action 'none'",
].join('; ');

const page = fill(read('index.html'), {
  POLICY: policy, VERSION: args.version, ICON: icon, STYLE: style, SCRIPT: script, WORKER: worker,
  MODULE: module,
});

const icons = [basename(svgIcon), ...Object.keys(pngIcons)].map((name) => `icons/${name}`);
const files = ['./', 'index.html', 'manifest.webmanifest', ...icons];
const serviceWorker = fill(read('sw.js'), {
  CACHE: `tarnel-${args.version}-${sha256(page, 'hex').slice(0, 16)}`,
  FILES: JSON.stringify(files),
});

for (const name of ['index.html', 'sw.js', 'manifest.webmanifest', 'icons']) {
  rmSync(join(args.out, name), { recursive: true, force: true });
}
mkdirSync(join(args.out, 'icons'), { recursive: true });
writeFileSync(join(args.out, 'index.html'), page);
writeFileSync(join(args.out, 'sw.js'), serviceWorker);
writeFileSync(join(args.out, 'manifest.webmanifest'), read('manifest.webmanifest'));
writeFileSync(join(args.out, 'icons', basename(svgIcon)), artwork);
for (const [name, bytes] of Object.entries(pngIcons)) writeFileSync(join(args.out, 'icons', name), bytes);

const size = (name) => statSync(join(args.out, name)).size;
const total = ['index.html', 'sw.js', 'manifest.webmanifest', ...icons].reduce((sum, name) => sum + size(name), 0);
console.log(`web page: index.html ${(size('index.html') / 1024).toFixed(1)} KiB, ` +
            `all files ${(total / 1024).toFixed(1)} KiB in ${args.out}`);

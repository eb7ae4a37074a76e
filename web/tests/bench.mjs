// SPDX-License-Identifier: MIT
// How the page does, printed rather than asserted: time until usable, how long
// the box takes to show 16 KiB to 1 MiB, Process on 1 MiB and 10 MiB (the page's own tarnel-process measures), the longest
// main-thread task while texts of 64 KiB to 1 MiB are processed, and the sizes
// of what the build ships. Several runs each; the median is printed.
// Usage: node bench.mjs   (TARNEL_WEB_DIR, TARNEL_BENCH_RUNS as for the tests)
import { readdir, stat } from 'node:fs/promises';
import path from 'node:path';
import { engineReady, launch, openPage, webDir } from './lib/browser.mjs';
import { serve } from './lib/server.mjs';
import { randomSource, randomText } from './lib/texts.mjs';

const runs = Number(process.env.TARNEL_BENCH_RUNS ?? 5);
const kKiB = 1024;
const kMiB = 1024 * kKiB;

const median = (values) => {
  const s = [...values].sort((a, b) => a - b);
  const m = s.length >> 1;
  return s.length % 2 ? s[m] : (s[m - 1] + s[m]) / 2;
};
const ms = (v) => (v === null ? '-' : `${v.toFixed(1)} ms`);
const row = (what, values, unit = ms) =>
  console.log(`${what.padEnd(44)} median ${unit(median(values)).padStart(10)}   runs ${values.map(unit).join(', ')}`);

// Texts of a given UTF-8 size, mostly Latin with other scripts and lines.
function textOf(bytes, seed) {
  const rng = randomSource(seed);
  let text = randomText(rng, ['latin', 'latin', 'latin', 'cyrillic', 'greek', 'cjk'], bytes, '\n');
  // Cut in proportion until it fits, never inside a surrogate pair.
  for (let size = Buffer.byteLength(text); size > bytes; size = Buffer.byteLength(text)) {
    text = text.slice(0, Math.min(text.length - 1, Math.floor((text.length * bytes) / size)));
    if (/[\uD800-\uDBFF]$/.test(text)) text = text.slice(0, -1);
  }
  return text;
}

// From the start of navigation until Process has the focus and the engine is ready.
function noteUsable() {
  window.usableAt = null;
  const check = () => {
    if (window.usableAt === null && document.documentElement.dataset.engine === 'ready' && document.activeElement?.id === 'process')
      window.usableAt = performance.now();
  };
  new MutationObserver(check).observe(document, { attributes: true, subtree: true });
  document.addEventListener('focusin', check, true);
  const poll = () => (window.usableAt === null ? (check(), requestAnimationFrame(poll)) : 0);
  requestAnimationFrame(poll);
  window.longTasks = [];
  new PerformanceObserver((list) => window.longTasks.push(...list.getEntries().map((e) => [e.startTime, e.duration]))).observe({
    type: 'longtask',
    buffered: true,
  });
}

async function usable(browser, origin) {
  const times = [];
  for (let i = 0; i < runs; i++) {
    const { context, page } = await openPage(browser, null);
    await page.addInitScript(noteUsable);
    await page.goto(`${origin}/`);
    await page.waitForFunction(() => window.usableAt !== null, null, { timeout: 60000 });
    times.push(await page.evaluate(() => window.usableAt));
    await context.close();
  }
  return times;
}

// Processes `text` and returns [duration of tarnel-process, longest task since the press].
async function processOnce(page, timeout = 300000) {
  const before = await page.evaluate(() => performance.getEntriesByName('tarnel-process').length);
  const start = await page.evaluate(() => performance.now());
  await page.click('#process');
  await page.waitForFunction(
    (n) => performance.getEntriesByName('tarnel-process').length > n && document.getElementById('window').getAttribute('aria-busy') !== 'true',
    before,
    { timeout, polling: 20 },
  );
  // Let the observer deliver the last task.
  await page.evaluate(() => new Promise((r) => setTimeout(r, 100)));
  return page.evaluate((t0) => {
    const entries = performance.getEntriesByName('tarnel-process');
    const tasks = window.longTasks.filter(([s, d]) => s + d >= t0).map(([, d]) => d);
    return [entries[entries.length - 1].duration, tasks.length ? Math.max(...tasks) : null];
  }, start);
}

async function sealAndOpen(browser, origin, bytes, count) {
  const result = { seal: [], open: [], sealTask: [], openTask: [] };
  const { context, page } = await openPage(browser, null);
  await page.addInitScript(noteUsable);
  await page.goto(`${origin}/`);
  await engineReady(page);
  await page.fill('#password', 'bench password');
  for (let i = 0; i < count; i++) {
    await page.$eval('#text', (box, t) => {
      box.value = t;
      box.dispatchEvent(new Event('input', { bubbles: true }));
    }, textOf(bytes, i + 1));
    const [seal, sealTask] = await processOnce(page);
    const [open, openTask] = await processOnce(page);
    result.seal.push(seal);
    result.open.push(open);
    result.sealTask.push(sealTask ?? 0);
    result.openTask.push(openTask ?? 0);
  }
  await context.close();
  return result;
}

// How long the box takes to show a text it is handed, until the next frame: the
// figures the page's limit for what it holds rather than shows comes from.
async function boxShows(browser, origin, bytes) {
  const { context, page } = await openPage(browser, `${origin}/`);
  const times = [];
  for (let i = 0; i < runs; i++) {
    times.push(await page.$eval('#text', async (box, t) => {
      const frame = () => new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0)));
      box.value = '';
      await frame();
      const start = performance.now();
      box.value = t;
      await frame();
      return performance.now() - start;
    }, textOf(bytes, i + 1)));
  }
  await context.close();
  return times;
}

async function sizes(dir) {
  const out = [];
  for (const entry of await readdir(dir, { recursive: true, withFileTypes: true })) {
    if (!entry.isFile()) continue;
    const file = path.join(entry.parentPath ?? entry.path, entry.name);
    out.push([path.relative(dir, file), (await stat(file)).size]);
  }
  return out.sort((a, b) => b[1] - a[1]);
}

const browser = await launch();
const server = await serve(webDir);
try {
  console.log(`tarnel web page, ${runs} runs each (a shared 2-core machine: read the times as rough)\n`);
  row('usable after navigation (fresh context)', await usable(browser, server.origin));
  for (const kib of [16, 32, 64, 128, 256, 1024]) {
    row(`the box shows ${kib} KiB (main thread)`, await boxShows(browser, server.origin, kib * kKiB));
  }
  const oneMiB = await sealAndOpen(browser, server.origin, kMiB, runs);
  row('1 MiB sealed (tarnel-process)', oneMiB.seal);
  row('1 MiB opened (tarnel-process)', oneMiB.open);
  for (const [name, bytes] of [
    ['64 KiB', 64 * kKiB],
    ['256 KiB', 256 * kKiB],
  ]) {
    const r = await sealAndOpen(browser, server.origin, bytes, runs);
    row(`${name}: longest main-thread task, seal`, r.sealTask);
    row(`${name}: longest main-thread task, open`, r.openTask);
  }
  row('1 MiB: longest main-thread task, seal', oneMiB.sealTask);
  row('1 MiB: longest main-thread task, open', oneMiB.openTask);
  console.log('  (0 ms: no task of 50 ms or more)');
  const large = await sealAndOpen(browser, server.origin, 10 * kMiB, Math.min(runs, 3));
  row('10 MiB sealed (tarnel-process)', large.seal);
  row('10 MiB opened (tarnel-process)', large.open);
  row('10 MiB: longest main-thread task, seal', large.sealTask);
  row('10 MiB: longest main-thread task, open', large.openTask);

  const files = await sizes(webDir);
  const total = files.reduce((s, [, n]) => s + n, 0);
  console.log(`\nbuild output in ${webDir}: ${files.length} files, ${total} bytes`);
  for (const [name, n] of files) console.log(`  ${String(n).padStart(10)}  ${name}`);
} finally {
  await browser.close();
  await server.stop();
}

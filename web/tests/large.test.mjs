// SPDX-License-Identifier: MIT
// Large texts: a 10 MiB file opened, sealed, saved and opened back, and a pasted
// 1 MiB text sealed and opened back, each result byte for byte tarnel-cli's, with
// the working state shown while the engine works and no task on the page's main
// thread longer than 200 ms (the page holds a result too large for the box).
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import { mkdtemp, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { promisify } from 'node:util';
import { measureCount, pageSuite, processDone } from './lib/browser.mjs';
import { cliPath } from './lib/cli.mjs';
import { isHeld, saved } from './lib/result.mjs';
import { openedForm, randomSource, randomText, seedFromEnv } from './lib/texts.mjs';

const kMiB = 1 << 20;
const kLongestTask = 200;
// The heartbeat's period: a gap is a task plus at most one period.
const kBeat = 10;
const seed = seedFromEnv();
const run = promisify(execFile);

// About `mib` MiB of UTF-8 in several scripts and lines.
function largeText(mib) {
  const rng = randomSource(seed + mib);
  let text = randomText(rng, ['latin', 'latin', 'latin', 'cyrillic', 'greek', 'cjk'], 0.55 * mib * kMiB, '\n');
  while (Buffer.byteLength(text) < mib * kMiB) text += '\n' + randomText(rng, ['latin'], 64 * 1024);
  return text;
}

// Notes every main-thread task over 50 ms where the browser reports them
// (Chromium; Firefox does not), the longest gap between the beats of a 10 ms
// timer (in either: a task that holds the main thread delays the next beat),
// and what a user sees at the first moment the window says it is busy.
function watchPage(period) {
  window.longTasks = [];
  if (PerformanceObserver.supportedEntryTypes.includes('longtask')) {
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) window.longTasks.push(Math.round(entry.duration));
    }).observe({ type: 'longtask' });
  }
  const beat = { count: 0, last: performance.now(), longestGap: 0 };
  window.heartbeat = beat;
  setInterval(() => {
    const now = performance.now();
    beat.longestGap = Math.max(beat.longestGap, now - beat.last);
    beat.last = now;
    beat.count++;
  }, period);
  const win = document.getElementById('window');
  const working = document.getElementById('working');
  window.busySeen = [];
  new MutationObserver(() => {
    if (win.getAttribute('aria-busy') !== 'true') return;
    window.busySeen.push(!working.hidden && working.getClientRects().length > 0);
  }).observe(win, { attributes: true });
}

// What the page noted of its main thread since it was last asked, started again.
function mainThread(page) {
  return page.evaluate(() => {
    const beat = window.heartbeat;
    // Up to now: a heartbeat that stopped would show as one long gap.
    const now = performance.now();
    const longestGap = Math.round(Math.max(beat.longestGap, now - beat.last));
    const seen = { longTasks: window.longTasks.splice(0), beats: beat.count, longestGap };
    Object.assign(beat, { count: 0, longestGap: 0, last: now });
    return seen;
  });
}

function assertMainThreadFree(t, { longTasks, beats, longestGap }, when) {
  t.diagnostic(`${when}: main-thread tasks over 50 ms ${JSON.stringify(longTasks)}, longest gap between ${beats} beats ${longestGap} ms`);
  assert.ok(longTasks.every((ms) => ms <= kLongestTask), `${when}: tasks of ${longTasks} ms`);
  // The gaps run up to now, so they show the beats went on all along; a count
  // shows they were heard at all.
  assert.ok(beats >= 50, `${when}: the heartbeat beat only ${beats} times`);
  assert.ok(longestGap <= kLongestTask + kBeat, `${when}: the main thread was held for ${longestGap} ms`);
}

async function process(page, t, step) {
  const measured = await measureCount(page);
  await page.click('#process', { noWaitAfter: true });
  await processDone(page, measured, 200000);
  t.diagnostic(`${step}: ${(await page.evaluate(() => performance.getEntriesByName('tarnel-process').at(-1).duration)).toFixed(0)} ms`);
  assert.ok(await isHeld(page), `${step}: the result is held, not put into the box`);
}

const cli = async (...args) => (await run(cliPath, args, { encoding: 'buffer', maxBuffer: 1 << 30 })).stdout;

const suite = pageSuite();
let dir;
before(async () => {
  dir = await mkdtemp(path.join(tmpdir(), 'tarnel-large-'));
});
after(() => rm(dir, { recursive: true, force: true }));

test(`a 10 MiB file and a pasted 1 MiB text, sealed and opened back as tarnel-cli does (seed ${seed})`, { timeout: 300000 }, async (t) => {
  const password = 'große Menge';
  const files = Object.fromEntries(['password', 'text', 'sealed', 'pasted'].map((name) => [name, path.join(dir, name)]));
  await writeFile(files.password, password);
  const fileText = largeText(10);
  await writeFile(files.text, fileText);
  const reference = { sealed: await cli('--password-file', files.password, files.text) };
  await writeFile(files.sealed, reference.sealed);
  reference.opened = await cli('--password-file', files.password, files.sealed);

  const { page, context } = await suite.open();
  page.setDefaultTimeout(120000);
  await page.fill('#password', password);
  await page.evaluate(watchPage, kBeat);

  await page.setInputFiles('#file-input', files.text);
  await page.waitForSelector('#held:not([hidden])');
  const size = Buffer.byteLength(fileText);
  assert.equal(await page.textContent('#held-summary'), `File "text", ${(size / kMiB).toFixed(1)} MiB (${size.toLocaleString('en')} bytes)`);
  await process(page, t, 'seal 10 MiB');
  const sealed = await saved(page);
  assert.equal(sealed.name, 'sealed.txt');
  assert.ok(sealed.bytes.equals(reference.sealed), 'the saved sealed text is tarnel-cli\'s');
  await process(page, t, 'open 10 MiB');
  const opened = await saved(page);
  assert.equal(opened.name, 'opened.txt');
  assert.ok(opened.bytes.equals(reference.opened), 'the saved opened text is tarnel-cli\'s');

  assertMainThreadFree(t, await mainThread(page), 'with the 10 MiB file');

  // A text pasted into the box (Ctrl+V) is held as well, and so are its results.
  const text = largeText(1);
  await writeFile(files.pasted, text);
  await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: suite.server.origin });
  await page.evaluate((t) => navigator.clipboard.writeText(t), text);
  await page.focus('#held');
  await page.keyboard.press('Delete');
  await page.fill('#text', 'replaced by the paste');
  await page.focus('#text');
  await page.keyboard.press('Control+A');
  await page.keyboard.press('Control+V');
  await page.waitForSelector('#held:not([hidden])');
  assert.match(await page.textContent('#held-summary'), /^Text, 1\.\d MiB/);
  await process(page, t, 'seal 1 MiB');
  assert.ok((await saved(page)).bytes.equals(await cli('--password-file', files.password, files.pasted)));
  await process(page, t, 'open 1 MiB');
  assert.ok((await saved(page)).bytes.toString() === openedForm(text), 'opened back to the text');

  assertMainThreadFree(t, await mainThread(page), 'while pasting, sealing and opening 1 MiB');
  const busySeen = await page.evaluate(() => window.busySeen);
  assert.ok(busySeen.length >= 2 && busySeen.every(Boolean), 'the working state shows whenever the window is busy');
});

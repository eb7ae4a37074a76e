// SPDX-License-Identifier: MIT
// A text of 10 MiB: sealed as tarnel-cli seals it and opened back, with the
// working state shown and the controls shut while the engine works.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { boxValue, fillBoth, measureCount, pageSuite, processDone, skipInFirefox } from './lib/browser.mjs';
import { seal } from './lib/cli.mjs';
import { openedForm, randomSource, randomText, sealedLength, seedFromEnv } from './lib/texts.mjs';

const kMiB = 1 << 20;
const seed = seedFromEnv();

// About 10 MiB of UTF-8 in several scripts and lines.
function largeText() {
  const rng = randomSource(seed);
  let text = randomText(rng, ['latin', 'latin', 'latin', 'cyrillic', 'greek', 'cjk'], 9 * kMiB, '\n');
  while (Buffer.byteLength(text) < 10 * kMiB) text += '\n' + randomText(rng, ['latin'], 64 * 1024);
  return text;
}

// Watches #window and #working from inside the page and notes what a user sees
// at the first moment the window says it is busy.
function watchBusy() {
  const win = document.getElementById('window');
  const working = document.getElementById('working');
  window.busySeen = null;
  const look = () => {
    if (window.busySeen || win.getAttribute('aria-busy') !== 'true') return;
    const style = getComputedStyle(working);
    window.busySeen = {
      workingShown:
        !working.hidden && style.display !== 'none' && style.visibility !== 'hidden' && working.getClientRects().length > 0,
      workingRole: working.getAttribute('role'),
    };
  };
  new MutationObserver(look).observe(document.body, { attributes: true, subtree: true });
}

const suite = pageSuite();

// The slowest case, a minute or more in each browser, runs in Chromium only unless
// TARNEL_LARGE_EVERYWHERE is set: with it, Firefox would more than double the tests' time.
const skip = !process.env.TARNEL_LARGE_EVERYWHERE && skipInFirefox('run in Chromium only (TARNEL_LARGE_EVERYWHERE=1 runs it here)');

test(`a 10 MiB text seals as tarnel-cli seals it and opens back (seed ${seed})`, { timeout: 300000, skip }, async (t) => {
  const text = largeText();
  const password = 'große Menge';
  const { page } = await suite.open();
  // Setting ten or twenty megabytes into the box may hold the page's main thread
  // for a while; every step may wait as long as the whole Process.
  page.setDefaultTimeout(120000);
  let crashed = false;
  page.on('crash', () => (crashed = true));
  await fillBoth(page, password, text);

  for (const step of ['seal', 'open']) {
    await page.evaluate(watchBusy);
    const measured = await measureCount(page);
    await page.evaluate((n) => {
      // The longest the main thread went without running a timer, until the result is shown.
      window.longestStall = 0;
      let last = performance.now();
      const tick = () => {
        const now = performance.now();
        window.longestStall = Math.max(window.longestStall, now - last);
        last = now;
        if (performance.getEntriesByName('tarnel-process').length === n) setTimeout(tick, 10);
      };
      setTimeout(tick, 10);
    }, measured);
    await page.click('#process', { noWaitAfter: true });
    await processDone(page, measured, 200000);
    assert.equal(crashed, false);
    t.diagnostic(`${step}: ${(await page.evaluate(() => performance.getEntriesByName('tarnel-process').at(-1).duration)).toFixed(0)} ms, main thread held up to ${(await page.evaluate(() => window.longestStall)).toFixed(0)} ms`);
    const seen = await page.evaluate(() => window.busySeen);
    assert.ok(seen, `${step}: #window never said aria-busy="true"`);
    assert.deepEqual(seen, { workingShown: true, workingRole: 'status' }, `${step}: the working state`);
    assert.equal(await page.getAttribute('#window', 'aria-busy') ?? 'false', 'false');
    assert.equal(await page.isVisible('#working'), false, `${step}: #working hidden again`);
  }
  const opened = await boxValue(page);
  assert.ok(opened === openedForm(text), `opened back to ${opened.length} characters of ${text.length}, not the text`);

  // The sealed text is checked against tarnel-cli's, from the undo the page keeps.
  await page.focus('#text');
  await page.keyboard.press('Control+Z');
  const sealed = await boxValue(page);
  assert.equal(sealed.length, sealedLength(Buffer.byteLength(openedForm(text).replace(/\n/g, '\r\n'))));
  const reference = await seal(password, text);
  assert.ok(sealed === reference, 'sealed otherwise than tarnel-cli');
});

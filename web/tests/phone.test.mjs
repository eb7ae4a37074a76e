// SPDX-License-Identifier: MIT
// What a phone wants of the page: Copy and Share for the result, the installed
// page as a share target, Process in view above an on-screen keyboard, and the
// password shown while its button is pressed in.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { boxValue, engineReady, fillBoth, kPhone, pageSuite, pressProcess, webDir } from './lib/browser.mjs';
import { resultText } from './lib/result.mjs';
import { randomSource, randomText, seedFromEnv } from './lib/texts.mjs';

const seed = seedFromEnv();
const rng = randomSource(seed);
const suite = pageSuite();

const clipboard = (page) => page.evaluate(() => navigator.clipboard.readText());

test(`Copy copies the whole result, in the box or held, and says so (seed ${seed})`, async () => {
  const { page, context } = await suite.open(kPhone);
  await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: suite.server.origin });
  const copyButton = page.getByRole('button', { name: 'Copy', exact: true });
  const byMenu = { tap: () => page.keyboard.press('Alt+Space').then(() => page.keyboard.press('c')) };
  for (const [text, button] of [
    ['a short note', copyButton],
    ['another note', byMenu],
    [randomText(rng, ['latin', 'cjk'], 40000), page.locator('#held-copy')],
    [randomText(rng, ['latin', 'cjk'], 40000), byMenu],
  ]) {
    await fillBoth(page, 'pw', text);
    await pressProcess(page);
    const result = await resultText(page);
    await page.evaluate(() => {
      document.getElementById('notice').textContent = '';
      return navigator.clipboard.writeText('');
    });
    await button.tap();
    await page.waitForFunction(() => document.getElementById('notice').textContent !== '');
    assert.ok((await clipboard(page)) === result, 'the sealed text is copied, not what the page says of it');
    assert.match(await page.textContent('#notice'), /^Copied/);
    assert.equal(await page.getAttribute('#notice', 'role'), 'status');
  }
});

test('Share hands the text to the system where the browser offers it, and is hidden where not', async () => {
  const plain = await suite.fresh(kPhone);
  assert.equal(await plain.evaluate(() => typeof navigator.share), 'undefined', 'this browser offers no sharing');
  assert.equal(await plain.isVisible('#share'), false);
  assert.equal(await plain.isHidden('#share-item'), true);

  const page = await suite.fresh(kPhone);
  await page.addInitScript(() => {
    navigator.share = async (data) => {
      window.sharedData = data;
    };
  });
  await page.reload();
  await engineReady(page);
  await fillBoth(page, 'pw', 'to share');
  await pressProcess(page);
  for (const share of [() => page.getByRole('button', { name: 'Share', exact: true }).tap(),
                       () => page.keyboard.press('Alt+Space').then(() => page.keyboard.press('h'))]) {
    await page.evaluate(() => (window.sharedData = null));
    await share();
    await page.waitForFunction(() => window.sharedData);
    assert.deepEqual(await page.evaluate(() => window.sharedData), { text: await boxValue(page) });
  }
});

test('a text or a file shared to the installed page lands in the box and in no address', async () => {
  const { page } = await suite.open(kPhone);
  await page.evaluate(() => navigator.serviceWorker.ready);
  if (!(await page.evaluate(() => navigator.serviceWorker.controller !== null))) {
    await page.reload();
    await engineReady(page);
  }
  const shared = `{{${'0'.repeat(64)}4294967294}} shared from a chat ✓`;
  // What a phone's share sheet sends: a form POSTed to the manifest's share target.
  const target = JSON.parse(readFileSync(path.join(webDir, 'manifest.webmanifest'), 'utf8')).share_target;
  assert.equal(target.method, 'POST');
  for (const field of ['text', 'file']) {
    await page.goto('about:blank');
    await page.setContent(`<form method="post" enctype="${target.enctype}" action="${suite.server.origin}/${target.action}">
      <input name="${target.params.text}"><input name="${target.params.title}" value="Chat">
      <input type="file" name="${target.params.files[0].name}"></form>`);
    if (field === 'text') await page.fill('input[name=text]', shared);
    else await page.setInputFiles('input[type=file]', { name: 'note.txt', mimeType: 'text/plain', buffer: Buffer.from(shared) });
    await Promise.all([page.waitForURL((url) => url.origin === suite.server.origin), page.$eval('form', (f) => f.submit())]);
    await engineReady(page);
    await page.waitForFunction((t) => document.getElementById('text').value === t, shared);
    const addresses = [page.url(), ...(await page.evaluate(() => [location.href, document.referrer]))];
    assert.ok(addresses.every((url) => !url.includes('shared') && !url.includes('0000')), `${field}: addresses ${addresses}`);
    assert.deepEqual(suite.server.requests.filter((p) => p.includes('share')), [], `${field}: the share never reached the server`);
    // Back goes to the blank page, not to a page or an address holding the text.
    await page.goBack();
    assert.equal(page.url(), 'about:blank');
  }
});

test('Process stays in view above an on-screen keyboard', async () => {
  const page = await suite.fresh(kPhone);
  const viewport = await page.$eval('meta[name=viewport]', (m) => m.content);
  assert.match(viewport, /interactive-widget=resizes-content/, 'the keyboard resizes the page');
  // The keyboard's half of the screen: the page is resized to what is left.
  for (const height of [640, 360, 300]) {
    await page.setViewportSize({ width: 360, height });
    await page.focus('#text');
    const m = await page.evaluate(() => {
      const rect = (id) => document.getElementById(id).getBoundingClientRect();
      return { process: rect('process'), text: rect('text'), password: rect('password'), height: innerHeight };
    });
    assert.ok(m.process.top >= 0 && m.process.bottom <= m.height, `${height} px: Process from ${m.process.top} to ${m.process.bottom}`);
    assert.ok(m.process.top >= m.text.bottom && m.text.height >= 40, `${height} px: the box (${m.text.height} px) above Process`);
    assert.ok(m.password.top >= 0, `${height} px: the password in view`);
  }
});

test('the password shows while its button is pressed in, by tap or Alt+F8, and hides again on Process', async () => {
  const page = await suite.fresh(kPhone);
  const button = page.getByRole('button', { name: 'Show password', exact: true });
  const state = () => page.evaluate(() => [document.getElementById('password').type, document.getElementById('reveal').getAttribute('aria-pressed')]);
  await fillBoth(page, 'secret', 'a note');
  for (const [press, expected] of [
    [() => button.tap(), ['text', 'true']],
    [() => button.tap(), ['password', 'false']],
    [() => page.keyboard.press('Alt+F8'), ['text', 'true']],
    [() => pressProcess(page), ['password', 'false']],
  ]) {
    await page.focus('#password');
    await press();
    assert.deepEqual(await state(), expected);
  }
  assert.equal(await page.inputValue('#password'), 'secret');
});

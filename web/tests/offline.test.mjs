// SPDX-License-Identifier: MIT
// The page on its own: opened as a file, served once and then reloaded without
// the server, asking for nothing beyond its origin and keeping nothing.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { inflateSync } from 'node:zlib';
import {
  askForManifest,
  assertNoErrors,
  boxValue,
  browserName,
  engineReady,
  fillBoth,
  launch,
  openPage,
  pageFileUrl,
  pressProcess,
  webDir,
} from './lib/browser.mjs';
import { serve } from './lib/server.mjs';

const kText = 'Ça marche hors ligne — Офлайн 离线 🌙\nsecond line';

// Seals kText and opens it again in the page.
async function sealAndOpen(page) {
  await fillBoth(page, 'offline pw', kText);
  await pressProcess(page);
  const sealed = await boxValue(page);
  assert.match(sealed, /^\{\{[0-9a-f]+\d{10}\}\}$/);
  await pressProcess(page);
  assert.equal(await boxValue(page), kText);
}

let browser;
before(async () => {
  browser = await launch();
});
after(async () => {
  await browser?.close();
});

describe('opened as a file', () => {
  test('seals and opens, registers no service worker, reports no error', async () => {
    const { context, page, errors, requests } = await openPage(browser, pageFileUrl);
    assert.ok([null, ''].includes(await askForManifest(page)), 'a file offers no manifest');
    await sealAndOpen(page);
    // BiDi lists no service workers; the page's own count below holds in both.
    if (browserName === 'chromium') assert.equal(context.serviceWorkers().length, 0);
    // A file's origin is opaque: the browser refuses even to list registrations.
    const registrations = await page.evaluate(() =>
      navigator.serviceWorker?.getRegistrations().then((r) => r.length, (e) => e.name) ?? 'none',
    );
    assert.ok([0, 'SecurityError', 'none'].includes(registrations), `registrations: ${registrations}`);
    const foreign = requests.filter((url) => !/^(file|data|blob):/.test(url));
    assert.deepEqual(foreign, [], 'a file asks for nothing but files');
    assertNoErrors(errors);
    await context.close();
  });
});

describe('served', () => {
  let server;
  before(async () => {
    server = await serve(webDir);
  });
  after(async () => {
    await server?.stop();
  });

  test('a reload works offline once the service worker has the page', async () => {
    const { context, page, errors } = await openPage(browser, `${server.origin}/`);
    // The first visit installs the worker; the page is controlled once it has
    // claimed it, or from the next load on.
    await page.evaluate(() => navigator.serviceWorker.ready);
    if (!(await page.evaluate(() => navigator.serviceWorker.controller !== null))) {
      await page.reload();
      await engineReady(page);
    }
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null);
    await server.stop();
    const served = server.requests.length;
    await page.reload();
    await engineReady(page);
    await sealAndOpen(page);
    assert.equal(server.requests.length, served, 'nothing reached the stopped server');
    // The browser itself finds no network either.
    await context.setOffline(true);
    await page.reload();
    await engineReady(page);
    await sealAndOpen(page);
    assertNoErrors(errors);
    await context.close();
  });
});

// A PNG's size, and whether its top left pixel is opaque: an 8-bit RGB image has no
// alpha; in RGBA the first pixel of the first row is stored as it is, whatever the
// row's filter.
function pngFacts(bytes) {
  assert.equal(bytes.toString('latin1', 12, 16), 'IHDR');
  const [width, height, depth, colour] = [bytes.readUInt32BE(16), bytes.readUInt32BE(20), bytes[24], bytes[25]];
  assert.ok(depth === 8 && (colour === 2 || colour === 6), '8-bit RGB or RGBA');
  const data = [];
  for (let at = 8; at < bytes.length; at += 12 + bytes.readUInt32BE(at)) {
    if (bytes.toString('latin1', at + 4, at + 8) === 'IDAT') data.push(bytes.subarray(at + 8, at + 8 + bytes.readUInt32BE(at)));
  }
  const cornerOpaque = colour === 2 || inflateSync(Buffer.concat(data))[4] === 255;
  return { sizes: `${width}x${height}`, cornerOpaque };
}

describe('installed', () => {
  test('each icon has the size it is named with; the maskable and the touch icon fill every edge', () => {
    const manifest = JSON.parse(readFileSync(join(webDir, 'manifest.webmanifest'), 'utf8'));
    const touch = /<link rel="apple-touch-icon" href="([^"]+)">/.exec(readFileSync(join(webDir, 'index.html'), 'utf8'));
    assert.ok(touch, 'the page names a touch icon');
    const pngs = [...manifest.icons.filter((icon) => icon.type === 'image/png'), { src: touch[1], sizes: '180x180', purpose: 'touch' }];
    assert.deepEqual(pngs.map((icon) => icon.sizes).sort(), ['180x180', '192x192', '512x512', '512x512']);
    assert.equal(pngs.filter((icon) => icon.purpose === 'maskable').length, 1);
    const cached = readFileSync(join(webDir, 'sw.js'), 'utf8');
    for (const icon of [...manifest.icons, pngs.at(-1)]) {
      assert.ok(cached.includes(`"${icon.src}"`), `${icon.src} is kept for offline use`);
      if (icon.type === 'image/svg+xml') continue;
      const facts = pngFacts(readFileSync(join(webDir, icon.src)));
      assert.equal(facts.sizes, icon.sizes, icon.src);
      // A launcher's mask and Apple's rounding cut into the corners: those icons fill
      // them; the plain ones keep the artwork's own rounded tile.
      assert.equal(facts.cornerOpaque, ['maskable', 'touch'].includes(icon.purpose), `${icon.src}: its corner`);
    }
  });
});

describe('privacy', () => {
  test('nothing asked for beyond the origin, nothing stored after use', async () => {
    const server = await serve(webDir);
    try {
      const { context, page, errors, requests } = await openPage(browser, `${server.origin}/`);
      const manifest = await askForManifest(page);
      assert.ok([null, `${server.origin}/manifest.webmanifest`].includes(manifest), `the manifest: ${manifest}`);
      await sealAndOpen(page);
      await page.click('#menu-button');
      await page.click('#about-item');
      await page.click('#about-ok');
      await page.fill('#password', '');
      await page.click('#process');
      await page.click('#message-ok');
      await page.reload();
      await engineReady(page);
      const foreign = requests.filter((url) => !url.startsWith(`${server.origin}/`) && !/^(data|blob):/.test(url));
      assert.deepEqual(foreign, []);
      const stored = await page.evaluate(async () => ({
        cookie: document.cookie,
        localStorage: localStorage.length,
        sessionStorage: sessionStorage.length,
        indexedDB: (await indexedDB.databases()).map((d) => d.name),
      }));
      assert.deepEqual(stored, { cookie: '', localStorage: 0, sessionStorage: 0, indexedDB: [] });
      assert.deepEqual(await context.cookies(), []);
      assertNoErrors(errors);
      await context.close();
    } finally {
      await server.stop();
    }
  });
});

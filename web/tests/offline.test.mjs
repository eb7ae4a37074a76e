// SPDX-License-Identifier: MIT
// The page on its own: opened as a file, served once and then reloaded without
// the server, asking for nothing beyond its origin and keeping nothing.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import {
  assertNoErrors,
  boxValue,
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
    await sealAndOpen(page);
    assert.equal(context.serviceWorkers().length, 0);
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

describe('privacy', () => {
  test('nothing asked for beyond the origin, nothing stored after use', async () => {
    const server = await serve(webDir);
    try {
      const { context, page, errors, requests } = await openPage(browser, `${server.origin}/`);
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

// SPDX-License-Identifier: MIT
// The browser a test file runs in (TARNEL_BROWSER: Debian's Chromium under
// playwright-core, or Firefox ESR under puppeteer-core with Playwright's
// interface), and the few steps every test of the page takes: open it, wait for
// the engine, press Process, read the box.
import assert from 'node:assert/strict';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { after, afterEach, before } from 'node:test';
import { chromium } from 'playwright-core';
import { launchFirefox } from './firefox.mjs';
import { serve } from './server.mjs';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');

export const webDir = path.resolve(repo, process.env.TARNEL_WEB_DIR ?? 'build/web');
export const pageFileUrl = pathToFileURL(path.join(webDir, 'index.html')).href;

// This machine has no network: without these, Chromium's own background
// connections are refused noisily.
const kArgs = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

export const browserName = process.env.TARNEL_BROWSER ?? 'chromium';
if (!['chromium', 'firefox'].includes(browserName)) throw new Error(`TARNEL_BROWSER=${browserName}: chromium or firefox`);

export const screenshotDir = path.resolve(
  repo,
  process.env.TARNEL_SCREENSHOTS ?? 'build/screenshots-web',
  browserName === 'chromium' ? '' : browserName,
);

// For a test's `skip` option: the reason it cannot run in Firefox, there.
export const skipInFirefox = (reason) => browserName === 'firefox' && reason;

export function launch() {
  if (browserName === 'firefox') return launchFirefox();
  return chromium.launch({
    executablePath: process.env.TARNEL_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: kArgs,
  });
}

export const kDesktop = { viewport: { width: 1024, height: 768 } };
export const kPhone = {
  viewport: { width: 360, height: 640 },
  deviceScaleFactor: 2,
  isMobile: true,
  hasTouch: true,
};

// A fresh context and page on url. `errors` gathers what the console reports as
// an error and every uncaught exception; `requests` every URL the context asks
// for, the service worker's included.
export async function openPage(browser, url, options = {}) {
  const context = await browser.newContext({ ...kDesktop, ...options });
  const errors = [];
  const requests = [];
  context.on('request', (request) => requests.push(request.url()));
  const page = await context.newPage();
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(`console: ${message.text()}`);
  });
  page.on('pageerror', (error) => errors.push(`page error: ${error.message}`));
  page.on('websocket', (socket) => requests.push(socket.url()));
  if (url) await gotoReady(page, url);
  return { context, page, errors, requests };
}

export async function gotoReady(page, url) {
  await page.goto(url);
  await engineReady(page);
}

export function engineReady(page, timeout = 30000) {
  return page.waitForFunction(() => document.documentElement.dataset.engine === 'ready', null, {
    timeout,
  });
}

export function measureCount(page) {
  return page.evaluate(() => performance.getEntriesByName('tarnel-process').length);
}

// Waits until the page has measured more than `before` Processes and is no
// longer busy.
export function processDone(page, before, timeout = 60000) {
  return page.waitForFunction(
    (n) =>
      performance.getEntriesByName('tarnel-process').length > n &&
      document.getElementById('window')?.getAttribute('aria-busy') !== 'true',
    before,
    { timeout, polling: 50 },
  );
}

// Runs `trigger` (a click or a key) and waits for the Process it starts.
export async function processWith(page, trigger, timeout) {
  const before = await measureCount(page);
  await trigger();
  await processDone(page, before, timeout);
}

export function pressProcess(page, timeout) {
  return processWith(page, () => page.click('#process'), timeout);
}

// Puts text in the box as a paste leaves it: the value set, one input event.
// (fill() does the same for short texts but takes minutes for long ones.)
export async function pasteText(page, text) {
  if (text.length < 20000) {
    await page.fill('#text', text);
    return;
  }
  await page.$eval(
    '#text',
    (box, t) => {
      box.focus();
      box.value = t;
      box.dispatchEvent(new InputEvent('input', { bubbles: true, inputType: 'insertFromPaste' }));
    },
    text,
  );
}

export async function fillBoth(page, password, text) {
  await page.fill('#password', password);
  await pasteText(page, text);
}

export function boxValue(page) {
  return page.$eval('#text', (box) => box.value);
}

export function focusedId(page) {
  return page.evaluate(() => document.activeElement?.id ?? '');
}

// Whether a dialog is shown as a modal one.
export function isModal(page, selector) {
  return page.$eval(selector, (d) => d.open && d.matches(':modal'));
}

// The manifest's URL as Chromium fetches it to offer the page's installation
// (which a headless one never does by itself): a fetch that fails shows on the
// console. Firefox on the desktop fetches no manifest.
export async function askForManifest(page) {
  if (browserName !== 'chromium') return null;
  const cdp = await page.context().newCDPSession(page);
  const { url } = await cdp.send('Page.getAppManifest');
  await cdp.detach();
  return url;
}

export function assertNoErrors(errors, what = 'the page') {
  assert.deepEqual(errors, [], `${what} reported errors`);
}

// Waits long enough that a Process the key should not have started would have
// been measured: two frames and a round trip to the worker.
export async function settle(page) {
  await page.evaluate(
    () =>
      new Promise((resolve) =>
        requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(resolve, 200))),
      ),
  );
}

// Hooks for a test file: one browser and one server for the file, a fresh
// context for each page a test asks for, closed after the test with its console
// checked for errors.
export function pageSuite() {
  const suite = { browser: null, server: null, sessions: [] };
  before(async () => {
    suite.browser = await launch();
    suite.server = await serve(webDir);
  });
  afterEach(async () => {
    const sessions = suite.sessions.splice(0);
    await Promise.all(sessions.map((s) => s.context.close()));
    for (const s of sessions) assertNoErrors(s.errors);
  });
  after(async () => {
    await suite.browser?.close();
    await suite.server?.stop();
  });
  suite.open = async (options) => {
    const session = await openPage(suite.browser, `${suite.server.origin}/`, options);
    suite.sessions.push(session);
    return session;
  };
  suite.fresh = async (options) => (await suite.open(options)).page;
  return suite;
}

// An init script: holds the page's messages to and from its workers while
// window.workerGate.holding is set, until workerGate.release(), so that a test can
// act at each hand-over of a Process however fast the engine is.
export function holdWorkerHandOvers() {
  const Native = window.Worker;
  const gate = {
    holding: false,
    queue: [],
    posted: 0, // messages the page has handed to its workers
    release() {
      for (const deliver of this.queue.splice(0)) deliver();
    },
  };
  window.workerGate = gate;
  const later = (deliver) => (gate.holding ? gate.queue.push(deliver) : deliver());
  const held = (worker, handler) => handler && ((event) => later(() => handler.call(worker, event)));
  window.Worker = class extends Native {
    postMessage(...args) {
      gate.posted++;
      later(() => super.postMessage(...args));
    }
    set onmessage(handler) {
      super.onmessage = held(this, handler);
    }
    get onmessage() {
      return super.onmessage;
    }
    addEventListener(type, handler, options) {
      super.addEventListener(type, type === 'message' ? held(this, handler) : handler, options);
    }
  };
}

// SPDX-License-Identifier: MIT
// Debian's Firefox ESR driven by puppeteer-core over WebDriver BiDi, behind the
// part of Playwright's browser, context and page the tests use, so that a test
// runs unchanged in either browser.
import { EventEmitter } from 'node:events';
import { mkdtempSync, rmSync } from 'node:fs';
import { mkdtemp, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

// Firefox takes prefers-color-scheme from a preference for the whole browser,
// and BiDi cannot emulate it per page: one browser for each scheme asked for.
const kSchemeOverride = { dark: 0, light: 1 };

export function launchFirefox() {
  const browsers = new Map();
  const browserFor = (scheme) => {
    if (!browsers.has(scheme)) {
      browsers.set(
        scheme,
        puppeteer.launch({
          browser: 'firefox',
          protocol: 'webDriverBiDi',
          executablePath: process.env.TARNEL_FIREFOX ?? '/usr/bin/firefox-esr',
          headless: true,
          extraPrefsFirefox: {
            'layout.css.prefers-color-scheme.content-override': kSchemeOverride[scheme],
            // Firefox has no clipboard permission to grant: what Chromium's grant
            // lets a test do, writing the clipboard without a user's gesture.
            'dom.events.testing.asyncClipboard': true,
            // Back loads the page again rather than restoring it unseen by BiDi,
            // as in Chromium under Playwright, which turns that cache off.
            'browser.sessionhistory.max_total_viewers': 0,
          },
        }),
      );
    }
    return browsers.get(scheme);
  };
  return {
    async newContext(options = {}) {
      const browser = await browserFor(options.colorScheme ?? 'light');
      return new Context(await browser.createBrowserContext(), options);
    },
    async close() {
      await Promise.all([...browsers.values()].map(async (b) => (await b).close()));
    },
  };
}

class Context {
  #inner;
  #options;
  #pages = [];
  #onRequest = [];

  constructor(inner, options) {
    this.#inner = inner;
    this.#options = options;
  }

  on(event, listener) {
    if (event !== 'request') throw new Error(`a Firefox context reports no ${event}`);
    this.#onRequest.push(listener);
  }

  async newPage() {
    const inner = await this.#inner.newPage();
    const { viewport, deviceScaleFactor = 1, isMobile = false, hasTouch = false } = this.#options;
    await inner.setViewport({ ...viewport, deviceScaleFactor, isMobile, hasTouch });
    inner.on('request', (request) => this.#onRequest.forEach((listener) => listener(request)));
    const page = new Page(inner, this.#options);
    await page.captureDownloads();
    this.#pages.push(inner);
    return page;
  }

  async setOffline(offline) {
    await Promise.all(this.#pages.map((p) => p.setOfflineMode(offline)));
  }

  cookies() {
    return this.#inner.cookies();
  }

  async grantPermissions(permissions, { origin }) {
    const granted = permissions.filter((p) => !p.startsWith('clipboard-'));
    if (granted.length) await this.#inner.overridePermissions(origin, granted);
  }

  close() {
    return this.#inner.close();
  }
}

// Playwright's key names where Puppeteer's differ; a letter pressed with
// Control but not Shift is the lower-case letter, as a keyboard gives it.
const kKeyNames = { Space: ' ' };

class Keyboard {
  #inner;
  #page;
  constructor(inner, page) {
    this.#inner = inner;
    this.#page = page;
  }
  // BiDi has no insertion without keys (Playwright's is an input method's): a
  // paste from the clipboard instead, which the page must take or refuse alike.
  async insertText(text) {
    await this.#page.evaluate((t) => navigator.clipboard.writeText(t), text);
    await this.press('Control+V');
  }
  async press(combo) {
    const modifiers = combo.split('+');
    let key = modifiers.pop();
    key = kKeyNames[key] ?? key;
    if (/^[A-Z]$/.test(key) && !modifiers.includes('Shift')) key = key.toLowerCase();
    for (const m of modifiers) await this.#inner.down(m);
    await this.#inner.press(key);
    for (const m of modifiers.reverse()) await this.#inner.up(m);
  }
  type(text) {
    return this.#inner.type(text);
  }
}

const kPlaywrightEvents = { console: 'console', pageerror: 'pageerror', crash: 'error' };

// Where a download goes: what the page hands the browser, taken in the page.
// BiDi gives Puppeteer no download events, so an init script notes each blob
// given an address (the page's policy lets nothing fetch one back) and catches
// the click on a link with a `download` name to one of them (how the page
// saves), passing the name and the bytes out in place of the browser's own
// download.
function catchDownloads() {
  const blobs = new Map();
  const createObjectURL = URL.createObjectURL;
  URL.createObjectURL = (blob) => {
    const url = createObjectURL(blob);
    blobs.set(url, blob);
    return url;
  };
  // In pieces, each read and passed in a short task, so that a large one keeps
  // the page's main thread as free as a download by the browser would.
  const kPiece = 3 << 18;
  const base64 = (blob) => new Promise((resolve) => {
    const reader = new FileReader();
    reader.onload = () => resolve(reader.result.slice(reader.result.indexOf(',') + 1));
    reader.readAsDataURL(blob);
  });
  const pass = async (name, blob) => {
    const id = crypto.randomUUID();
    for (let at = 0; at < blob.size; at += kPiece) await window.tarnelDownloadPiece(id, await base64(blob.slice(at, at + kPiece)));
    await window.tarnelDownloaded(id, name);
  };
  const click = HTMLAnchorElement.prototype.click;
  HTMLAnchorElement.prototype.click = function () {
    const blob = blobs.get(this.href);
    if (!this.hasAttribute('download') || !blob) return click.call(this);
    pass(this.download, blob);
  };
}

// Where downloads and files made for an input are written, gone when the tests
// end, as Playwright's are.
let scratchDir;
function scratch(prefix) {
  if (!scratchDir) {
    scratchDir = mkdtempSync(path.join(tmpdir(), 'tarnel-firefox-'));
    process.on('exit', () => rmSync(scratchDir, { recursive: true, force: true }));
  }
  return mkdtemp(path.join(scratchDir, prefix));
}

// Playwright's Download, for one the page handed out.
class Download {
  #name;
  #bytes;
  constructor(name, bytes) {
    this.#name = name;
    this.#bytes = bytes;
  }
  suggestedFilename() {
    return this.#name;
  }
  async path() {
    const file = path.join(await scratch('download-'), 'download');
    await writeFile(file, this.#bytes);
    return file;
  }
}

class FileChooser {
  #inner;
  constructor(inner) {
    this.#inner = inner;
  }
  setFiles(files) {
    return filePaths(files).then((paths) => this.#inner.accept(paths));
  }
}

// Playwright's files for an input: paths, or { name, mimeType, buffer } written
// to a file of that name (BiDi sets files by path only; the browser takes the
// type from the name).
async function filePaths(files) {
  const list = Array.isArray(files) ? files : [files];
  return Promise.all(list.map(async (f) => {
    if (typeof f === 'string') return path.resolve(f);
    const file = path.join(await scratch('upload-'), f.name);
    await writeFile(file, f.buffer);
    return file;
  }));
}

class Page {
  #inner;
  #options;
  #timeout = 30000;
  #events = new EventEmitter();

  constructor(inner, options) {
    this.#inner = inner;
    this.#options = options;
    this.keyboard = new Keyboard(inner.keyboard, inner);
    this.mouse = inner.mouse;
  }

  async captureDownloads() {
    const pieces = new Map();
    await this.#inner.exposeFunction('tarnelDownloadPiece', (id, base64) => {
      pieces.set(id, [...(pieces.get(id) ?? []), Buffer.from(base64, 'base64')]);
    });
    await this.#inner.exposeFunction('tarnelDownloaded', (id, name) => {
      this.#events.emit('download', new Download(name, Buffer.concat(pieces.get(id) ?? [])));
      pieces.delete(id);
    });
    await this.#inner.evaluateOnNewDocument(catchDownloads);
  }

  on(event, listener) {
    // The page opens no WebSocket; BiDi has no event for one to listen to.
    if (event === 'websocket') return;
    this.#inner.on(kPlaywrightEvents[event] ?? event, listener);
  }

  // The next download or file chooser.
  async waitForEvent(event, { timeout = this.#timeout } = {}) {
    if (event === 'filechooser') return new FileChooser(await this.#inner.waitForFileChooser({ timeout }));
    if (event !== 'download') throw new Error(`a Firefox page reports no ${event}`);
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error(`no download in ${timeout} ms`)), timeout);
      this.#events.once('download', (download) => {
        clearTimeout(timer);
        resolve(download);
      });
    });
  }

  async setInputFiles(selector, files) {
    const input = await this.#inner.waitForSelector(selector, { timeout: this.#timeout });
    await input.uploadFile(...(await filePaths(files)));
  }
  // Puppeteer's setContent calls document.open(), after which Firefox replaces the
  // page's entry in the history at the next navigation, where Chromium under
  // Playwright keeps it: the markup is put in place instead.
  setContent(html) {
    return this.#inner.evaluate((markup) => {
      document.documentElement.innerHTML = markup;
    }, html);
  }
  async waitForURL(matches, { timeout = this.#timeout } = {}) {
    const test = typeof matches === 'function' ? (u) => matches(new URL(u)) : (u) => u === String(matches);
    const end = Date.now() + timeout;
    while (!test(this.#inner.url())) {
      if (Date.now() > end) throw new Error(`waitForURL: still at ${this.#inner.url()}`);
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
  }
  goBack() {
    return this.#inner.goBack();
  }
  setViewportSize(size) {
    const { deviceScaleFactor = 1, isMobile = false, hasTouch = false } = this.#options;
    return this.#inner.setViewport({ ...size, deviceScaleFactor, isMobile, hasTouch });
  }

  setDefaultTimeout(ms) {
    this.#timeout = ms;
    this.#inner.setDefaultTimeout(ms);
  }

  goto(url) {
    return this.#inner.goto(url);
  }
  reload() {
    return this.#inner.reload();
  }
  url() {
    return this.#inner.url();
  }
  title() {
    return this.#inner.title();
  }
  isClosed() {
    return this.#inner.isClosed();
  }
  addInitScript(script) {
    return this.#inner.evaluateOnNewDocument(script);
  }
  screenshot(options) {
    return this.#inner.screenshot(options);
  }

  evaluate(fn, arg) {
    return this.#inner.evaluate(typeof fn === 'function' ? returningPlain(fn) : fn, arg);
  }
  $eval(selector, fn, arg) {
    return this.#inner.$eval(selector, fn, arg);
  }
  $$eval(selector, fn, arg) {
    return this.#inner.$$eval(selector, fn, arg);
  }
  waitForFunction(fn, arg, { timeout = this.#timeout, polling = 'raf' } = {}) {
    return this.#inner.waitForFunction(fn, { timeout, polling }, arg);
  }
  async waitForSelector(selector, { state = 'visible', timeout = this.#timeout } = {}) {
    await this.#inner.waitForSelector(selector, { visible: state === 'visible', hidden: state === 'hidden', timeout });
  }

  // As Playwright: waits until the element is visible and still; `force` clicks
  // one that says it is disabled.
  click(selector, { force = false, button = 'left' } = {}) {
    return this.#inner.locator(selector).setWaitForEnabled(!force).setTimeout(this.#timeout).click({ button });
  }
  async tap(selector) {
    await this.waitForSelector(selector);
    await this.#inner.tap(selector);
  }
  focus(selector) {
    return this.#inner.focus(selector);
  }
  // As Playwright's fill: the field's text selected and replaced by one insertion,
  // though Firefox sends no beforeinput for it, so a busy page does not refuse it.
  async fill(selector, value) {
    await this.#inner.$eval(
      selector,
      (field, text) => {
        field.focus();
        field.select();
        document.execCommand(text ? 'insertText' : 'delete', false, text);
      },
      value,
    );
  }

  isVisible(selector) {
    return this.#inner.evaluate(isShown, selector);
  }
  async isHidden(selector) {
    return !(await this.isVisible(selector));
  }
  textContent(selector) {
    return this.#inner.$eval(selector, (e) => e.textContent);
  }
  innerText(selector) {
    return this.#inner.$eval(selector, (e) => e.innerText);
  }
  getAttribute(selector, name) {
    return this.#inner.$eval(selector, (e, n) => e.getAttribute(n), name);
  }
  inputValue(selector) {
    return this.#inner.$eval(selector, (e) => e.value);
  }

  locator(selector) {
    return new Locator(() => this.#inner.$$(selector), this.#timeout);
  }
  getByRole(role, options) {
    return byRole(async () => [this.#inner], role, options, this.#timeout);
  }
  getByLabel(text, { exact } = {}) {
    if (!exact) throw new Error('getByLabel: only exact names');
    return new Locator(async () => {
      const fields = await this.#inner.$$('input, textarea, select');
      const labelled = await Promise.all(
        fields.map((f) =>
          f.evaluate((e, t) => [...(e.labels ?? [])].some((l) => l.textContent.trim() === t) || e.getAttribute('aria-label') === t, text),
        ),
      );
      return fields.filter((_, i) => labelled[i]);
    }, this.#timeout);
  }
}

// By the browser's accessibility tree within the elements `scopes` gives, as
// Playwright's getByRole. A name not exact (a pattern, or a text matched in any
// case anywhere) is matched against the name the page gives each element of the
// role, kept only if the tree names the element so too.
function byRole(scopes, role, { name, exact = false } = {}, timeout) {
  const quoted = (s) => JSON.stringify(s);
  const query = (n) => `::-p-aria([role=${quoted(role)}]${n === undefined ? '' : `[name=${quoted(n)}]`})`;
  const within = async (selector) => (await Promise.all((await scopes()).map((s) => s.$$(selector)))).flat();
  if (name === undefined || (exact && typeof name === 'string')) return new Locator(() => within(query(name)), timeout);
  const matches = typeof name === 'string' ? (n) => n.toLowerCase().includes(name.toLowerCase()) : (n) => name.test(n);
  return new Locator(async () => {
    const found = [];
    for (const element of await within(query())) {
      const given = await element.evaluate(givenName);
      if (!matches(given)) continue;
      const named = await within(query(given));
      const same = await Promise.all(named.map((n) => n.evaluate((a, b) => a === b, element)));
      if (same.includes(true)) found.push(element);
    }
    return found;
  }, timeout);
}

// The name an element is given by aria-labelledby, aria-label, its labels, or
// its text.
function givenName(e) {
  const text = (s) => s.replace(/\s+/g, ' ').trim();
  const by = e.getAttribute('aria-labelledby');
  if (by) return text(by.split(/\s+/).map((id) => document.getElementById(id)?.textContent ?? '').join(' '));
  if (e.getAttribute('aria-label')) return text(e.getAttribute('aria-label'));
  if (e.labels?.length) return text([...e.labels].map((l) => l.textContent).join(' '));
  return text(e.textContent);
}

// fn, its result passed back as Playwright passes it: an object with no keys of
// its own but a toJSON (a DOMRect) as what toJSON gives, where BiDi gives {}.
function returningPlain(fn) {
  function plain(v) {
    if (!v || typeof v !== 'object' || v instanceof Node) return v;
    if (Array.isArray(v)) return v.map(plain);
    if (Object.keys(v).length === 0 && typeof v.toJSON === 'function') return v.toJSON();
    return Object.fromEntries(Object.entries(v).map(([k, x]) => [k, plain(x)]));
  }
  // eslint-disable-next-line no-new-func -- built here, called in the page
  return new Function('arg', `return Promise.resolve((${fn})(arg)).then(${plain});`);
}

function isShown(selector) {
  const e = typeof selector === 'string' ? document.querySelector(selector) : selector;
  return !!e && e.getClientRects().length > 0 && getComputedStyle(e).visibility !== 'hidden';
}

// The elements `find` gives; the calls that act on one element wait until
// there is exactly one.
class Locator {
  #find;
  #timeout;

  constructor(find, timeout) {
    this.#find = find;
    this.#timeout = timeout;
  }

  all() {
    return this.#find();
  }

  async #one() {
    const end = Date.now() + this.#timeout;
    for (;;) {
      const found = await this.#find();
      if (found.length === 1) return found[0];
      if (found.length > 1) throw new Error(`${found.length} elements where one was meant`);
      if (Date.now() > end) throw new Error('no element found');
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
  }

  async evaluate(fn, arg) {
    return (await this.#one()).evaluate(fn, arg);
  }
  async getAttribute(name) {
    return (await this.#one()).evaluate((e, n) => e.getAttribute(n), name);
  }
  async boundingBox() {
    return (await this.#one()).boundingBox();
  }
  async isVisible() {
    const [first] = await this.#find();
    return !!first && first.evaluate(isShown);
  }
  async isHidden() {
    return !(await this.isVisible());
  }
  async count() {
    return (await this.#find()).length;
  }
  // As Playwright: waits until the one element is visible, then taps it.
  async tap() {
    const end = Date.now() + this.#timeout;
    let element = await this.#one();
    while (!(await element.evaluate(isShown))) {
      if (Date.now() > end) throw new Error('tap: the element stays hidden');
      await new Promise((resolve) => setTimeout(resolve, 50));
      element = await this.#one();
    }
    await element.tap();
  }
  getByRole(role, options) {
    return byRole(() => this.#find(), role, options, this.#timeout);
  }

  and(other) {
    return new Locator(async () => {
      const [mine, theirs] = await Promise.all([this.all(), other.all()]);
      const kept = await Promise.all(mine.map((m) => Promise.all(theirs.map((t) => m.evaluate((a, b) => a === b, t)))));
      return mine.filter((_, i) => kept[i].includes(true));
    }, this.#timeout);
  }
  or(other) {
    return new Locator(async () => {
      const [mine, theirs] = await Promise.all([this.all(), other.all()]);
      const same = await Promise.all(theirs.map((t) => Promise.all(mine.map((m) => m.evaluate((a, b) => a === b, t)))));
      return [...mine, ...theirs.filter((_, i) => !same[i].includes(true))];
    }, this.#timeout);
  }
}

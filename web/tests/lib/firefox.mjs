// SPDX-License-Identifier: MIT
// Debian's Firefox ESR driven by puppeteer-core over WebDriver BiDi, behind the
// part of Playwright's browser, context and page the tests use, so that a test
// runs unchanged in either browser.
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
    const page = new Page(inner);
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

class Page {
  #inner;
  #timeout = 30000;

  constructor(inner) {
    this.#inner = inner;
    this.keyboard = new Keyboard(inner.keyboard, inner);
    this.mouse = inner.mouse;
  }

  on(event, listener) {
    // The page opens no WebSocket; BiDi has no event for one to listen to.
    if (event === 'websocket') return;
    this.#inner.on(kPlaywrightEvents[event] ?? event, listener);
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
    return this.#inner.evaluate(fn, arg);
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
  // By the browser's accessibility tree, as Playwright's getByRole.
  getByRole(role, { name, exact } = {}) {
    if (name !== undefined && !exact) throw new Error('getByRole: only exact names');
    const quoted = (s) => JSON.stringify(s);
    const filter = `[role=${quoted(role)}]${name === undefined ? '' : `[name=${quoted(name)}]`}`;
    return new Locator(() => this.#inner.$$(`::-p-aria(${filter})`), this.#timeout);
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

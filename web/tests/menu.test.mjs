// SPDX-License-Identifier: MIT
// The window's menu, by mouse and by keys, and the about box it opens.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { browserName, focusedId, isModal, pageSuite, skipInFirefox } from './lib/browser.mjs';

const { fresh } = pageSuite();

const menuShown = (page) => page.isVisible('#menu');
const focusInMenu = (page) => page.evaluate(() => document.getElementById('menu').contains(document.activeElement));

// What a user sees of the about box, to compare one opening with the next.
const aboutState = (page) =>
  page.$eval('#about', (d) => ({
    open: d.open,
    text: d.innerText.replace(/\s+/g, ' ').trim(),
    focused: document.activeElement?.id,
  }));

describe('the menu', () => {
  test('its button: named Menu, 44 px at least, no tab stop', async () => {
    const page = await fresh();
    const button = page.getByRole('button', { name: 'Menu', exact: true });
    assert.equal(await button.evaluate((b) => b.id), 'menu-button');
    assert.equal(await button.getAttribute('tabindex'), '-1');
    const box = await button.boundingBox();
    assert.ok(box.width >= 44 && box.height >= 44, `menu button is ${box.width} x ${box.height}`);
    assert.equal(await menuShown(page), false);
  });

  test('by mouse: opens with its one item, Esc closes it, the item opens the about box', async () => {
    const page = await fresh();
    await page.click('#menu-button');
    assert.ok(await menuShown(page));
    assert.equal(await page.getAttribute('#menu', 'role'), 'menu');
    const item = page.getByRole('menuitem', { name: 'About tarnel...', exact: true });
    assert.equal(await item.evaluate((e) => e.id), 'about-item');
    await page.keyboard.press('Escape');
    assert.equal(await menuShown(page), false);
    await page.click('#menu-button');
    await page.click('#about-item');
    await page.waitForSelector('#about[open]');
    assert.equal(await menuShown(page), false, 'the menu closes as the about box opens');
  });

  for (const key of ['Alt+Space', 'Shift+F10', 'ContextMenu']) {
    const skip = key === 'ContextMenu' && skipInFirefox('WebDriver BiDi has no Menu key to press');
    test(`by keys: ${key} opens it with the focus on its item, Esc closes it, Enter on the item opens the about box`, { skip }, async () => {
      const page = await fresh();
      await page.focus('#password');
      await page.keyboard.press(key);
      assert.ok(await menuShown(page), `${key} opens the menu`);
      assert.ok(await focusInMenu(page), 'the focus is in the menu');
      await page.keyboard.press('Escape');
      assert.equal(await menuShown(page), false);
      assert.equal(await focusedId(page), 'password', 'focus returns as the menu closes');
      await page.keyboard.press(key);
      assert.equal(await focusedId(page), 'about-item');
      await page.keyboard.press('Enter');
      await page.waitForSelector('#about[open]');
      await page.keyboard.press('Escape');
      await page.waitForSelector('#about:not([open])', { state: 'attached' });
      assert.equal(await focusedId(page), 'password', 'focus returns as the about box closes');
    });
  }

  test("the Menu key and Shift+F10 open only the page's menu; a right click in a field keeps the browser's", async () => {
    const page = await fresh();
    // Whether each contextmenu event was left to the browser, seen after the page's handlers.
    await page.evaluate(() => {
      window.browserMenus = [];
      addEventListener('contextmenu', (e) => window.browserMenus.push(`${e.target.id}: ${!e.defaultPrevented}`));
    });
    const rightClick = async (id) => {
      await page.click(`#${id}`, { button: 'right' });
      assert.equal(await page.evaluate(() => window.browserMenus.pop()), `${id}: true`, `a right click in #${id}`);
    };
    // WebDriver BiDi has no Menu key to press.
    for (const key of browserName === 'firefox' ? ['Shift+F10'] : ['Shift+F10', 'ContextMenu']) {
      await page.focus('#text');
      await page.keyboard.press(key);
      assert.ok(await menuShown(page), `${key} opens the menu`);
      await page.keyboard.press('Escape');
      await rightClick('text');
      await page.keyboard.press(key);
      // Firefox follows the key with a contextmenu event at the focus, which the keys
      // WebDriver sends do not bring: sent here as Firefox sends it.
      const browserMenu = await page.evaluate(() =>
        document.activeElement.dispatchEvent(new MouseEvent('contextmenu', { bubbles: true, cancelable: true })),
      );
      assert.equal(browserMenu, false, `${key}: no browser menu over the page's`);
      await page.keyboard.press('Escape');
      assert.equal(await menuShown(page), false, `${key}: the first Esc closes the page's menu`);
      await rightClick('password');
    }
  });
});

describe('the about box', () => {
  test('modal, with its icon, version and line; closes by OK, Esc and Enter and opens again the same', async () => {
    const page = await fresh();
    const closers = [() => page.click('#about-ok'), () => page.keyboard.press('Escape'), () => page.keyboard.press('Enter')];
    let first;
    for (const close of closers) {
      await page.focus('#process');
      await page.keyboard.press('Alt+Space');
      await page.keyboard.press('Enter');
      await page.waitForSelector('#about[open]');
      assert.ok(await isModal(page, '#about'));
      assert.ok(await page.getByRole('dialog', { name: 'About tarnel', exact: true }).isVisible());
      const icon = page.locator('#about img');
      assert.ok(await icon.isVisible());
      assert.ok((await icon.getAttribute('alt'))?.trim(), 'the icon has a name');
      assert.ok(await icon.evaluate((img) => img.complete && img.naturalWidth > 0), 'the icon has loaded');
      const state = await aboutState(page);
      assert.match(state.text, /tarnel Version 1\.0/);
      assert.match(state.text, /Seals a text with a password/);
      assert.equal(state.focused, 'about-ok');
      assert.equal((await page.textContent('#about-ok')).trim(), 'OK');
      if (first) assert.deepEqual(state, first, 'opens again as it was');
      first ??= state;
      await close();
      await page.waitForSelector('#about:not([open])', { state: 'attached' });
      assert.equal(await focusedId(page), 'process', 'focus returns to Process');
    }
  });

  test('while it is open, the window behind takes no click', async () => {
    const page = await fresh();
    await page.click('#menu-button');
    await page.click('#about-item');
    await page.waitForSelector('#about[open]');
    // The password is empty: a click that reached Process would bring the message.
    const b = await page.locator('#process').boundingBox();
    await page.mouse.click(b.x + b.width / 2, b.y + b.height / 2);
    await page.keyboard.press('Tab');
    assert.equal(await page.$eval('#message', (d) => d.open), false, 'Process did not run');
    // Tab stays in the box or leaves for the browser's chrome, never to a control behind.
    assert.ok(!['process', 'password', 'text', 'menu-button'].includes(await focusedId(page)), 'Tab stays out of the window behind');
  });
});

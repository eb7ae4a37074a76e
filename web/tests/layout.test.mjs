// SPDX-License-Identifier: MIT
// The page on a phone and on a desktop, light and dark, with screenshots of
// each and of the message and about boxes for a person to look at.
import assert from 'node:assert/strict';
import { mkdir } from 'node:fs/promises';
import path from 'node:path';
import { before, describe, test } from 'node:test';
import { fillBoth, kDesktop, kPhone, pageSuite, screenshotDir } from './lib/browser.mjs';

const kSample = 'Dear Ana,\nthe keys are under the blue pot — Ключи под синим горшком.\n鍵は青い鉢の下です。 🔑';

const { fresh } = pageSuite();
before(() => mkdir(screenshotDir, { recursive: true }));

const shot = (page, name) => page.screenshot({ path: path.join(screenshotDir, `${name}.png`) });

// The relative luminance of a CSS colour, 0 black to 1 white.
function luminance(css) {
  const [r, g, b] = css.match(/[\d.]+/g).slice(0, 3).map((v) => {
    const c = Number(v) / 255;
    return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
  });
  return 0.2126 * r + 0.7152 * g + 0.0722 * b;
}

// The colours a user sees behind and on the box, walking up past transparent backgrounds.
const colours = (page) =>
  page.evaluate(() => {
    const back = (e) => {
      for (; e; e = e.parentElement) {
        const c = getComputedStyle(e).backgroundColor;
        if (!/rgba\(.*, 0\)$/.test(c) && c !== 'transparent') return c;
      }
      return 'rgb(255, 255, 255)';
    };
    const box = document.getElementById('text');
    const instruction = document.getElementById('instruction');
    return {
      page: back(instruction),
      pageText: getComputedStyle(instruction).color,
      box: back(box),
      boxText: getComputedStyle(box).color,
    };
  });

describe('light and dark', () => {
  for (const [device, options] of [
    ['desktop', kDesktop],
    ['phone', kPhone],
  ]) {
    for (const scheme of ['light', 'dark']) {
      test(`${device}, ${scheme}: follows the colour scheme, text readable`, async () => {
        const page = await fresh({ ...options, colorScheme: scheme });
        await fillBoth(page, 'secret', kSample);
        await page.focus('#process');
        const c = await colours(page);
        const dark = scheme === 'dark';
        assert.equal(luminance(c.page) < 0.2, dark, `page background ${c.page}`);
        assert.equal(luminance(c.box) < 0.2, dark, `box background ${c.box}`);
        for (const [back, fore] of [
          [c.page, c.pageText],
          [c.box, c.boxText],
        ]) {
          const [hi, lo] = [luminance(back), luminance(fore)].sort((a, b) => b - a);
          assert.ok((hi + 0.05) / (lo + 0.05) >= 4.5, `contrast of ${fore} on ${back}`);
        }
        await shot(page, `${device}-${scheme}`);
      });
    }
  }

  test('screenshots of the message box and the about box', async () => {
    for (const scheme of ['light', 'dark']) {
      const page = await fresh({ ...kDesktop, colorScheme: scheme });
      await page.click('#process');
      await page.waitForSelector('#message[open]');
      await shot(page, `message-${scheme}`);
      await page.click('#message-ok');
      await page.click('#menu-button');
      await shot(page, `menu-${scheme}`);
      await page.click('#about-item');
      await page.waitForSelector('#about[open]');
      await shot(page, `about-${scheme}`);
    }
    const phone = await fresh(kPhone);
    await phone.tap('#menu-button');
    await phone.tap('#about-item');
    await phone.waitForSelector('#about[open]');
    await shot(phone, 'phone-about');
  });
});

describe('on a phone, 360 x 640', () => {
  test('fits without sideways scrolling, the box takes the free height, touch targets 44 px tall', async () => {
    const page = await fresh(kPhone);
    const m = await page.evaluate(() => {
      const rect = (id) => document.getElementById(id).getBoundingClientRect().toJSON();
      const root = document.documentElement;
      return {
        width: innerWidth,
        height: innerHeight,
        scrollWidth: root.scrollWidth,
        scrollHeight: root.scrollHeight,
        controls: Object.fromEntries(['process', 'password', 'text', 'menu-button', 'instruction'].map((id) => [id, rect(id)])),
      };
    });
    assert.equal(m.width, 360);
    assert.ok(m.scrollWidth <= m.width, `page is ${m.scrollWidth} px wide`);
    assert.ok(m.scrollHeight <= m.height, `page is ${m.scrollHeight} px tall`);
    for (const [id, r] of Object.entries(m.controls)) {
      assert.ok(r.left >= 0 && r.right <= m.width, `${id} from ${r.left} to ${r.right}`);
      assert.ok(r.top >= 0 && r.bottom <= m.height, `${id} from ${r.top} to ${r.bottom}`);
    }
    for (const id of ['process', 'password', 'menu-button']) {
      assert.ok(m.controls[id].height >= 44, `${id} is ${m.controls[id].height} px tall`);
    }
    // The free height is what the other controls leave: the box takes it when
    // the lowest control ends near the bottom and the box is most of the height.
    const lowest = Math.max(...Object.values(m.controls).map((r) => r.bottom));
    assert.ok(m.height - lowest <= 24, `${m.height - lowest} px left empty below the controls`);
    const others = ['process', 'password', 'instruction', 'menu-button'].map((id) => m.controls[id]);
    const text = m.controls.text;
    assert.ok(text.height >= 0.4 * m.height, `the box is ${text.height} px tall`);
    assert.ok(text.width >= m.width - 48, `the box is ${text.width} px wide`);
    for (const r of others) {
      const overlaps = r.top < text.bottom && r.bottom > text.top && r.left < text.right && r.right > text.left;
      assert.ok(!overlaps, 'no control lies over the box');
    }
  });

  test('the menu item and the boxes\' OK buttons are touch targets too', async () => {
    const page = await fresh(kPhone);
    const height = async (id) => (await page.locator(`#${id}`).boundingBox()).height;
    await page.tap('#menu-button');
    assert.ok((await height('about-item')) >= 44, 'the menu item');
    await page.tap('#about-item');
    assert.ok((await height('about-ok')) >= 44, "the about box's OK");
    await page.tap('#about-ok');
    await page.tap('#process');
    await page.waitForSelector('#message[open]');
    assert.ok((await height('message-ok')) >= 44, "the message's OK");
  });

  test('the box keeps the free height on a taller phone', async () => {
    const page = await fresh({ ...kPhone, viewport: { width: 360, height: 800 } });
    const small = await fresh(kPhone);
    const height = (p) => p.$eval('#text', (t) => t.getBoundingClientRect().height);
    const grown = (await height(page)) - (await height(small));
    assert.ok(Math.abs(grown - 160) <= 8, `160 px more screen gives the box ${grown} px`);
  });
});

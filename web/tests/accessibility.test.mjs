// SPDX-License-Identifier: MIT
// axe-core's rules over the page in each state a user meets it in, light and dark.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { test } from 'node:test';
import { pageSuite } from './lib/browser.mjs';

const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

const { fresh } = pageSuite();

// The violations axe finds now, one line each: rule, then the elements.
async function violations(page) {
  // Evaluated by the driver, so the page's content security policy does not apply.
  if (!(await page.evaluate(() => 'axe' in window))) await page.evaluate(axeSource);
  return page.evaluate(async () => {
    const result = await window.axe.run(document, { resultTypes: ['violations'] });
    return result.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
  });
}

test('no violations at start, filled, with the message box, the menu or the about box open, light and dark', async () => {
  const found = {};
  for (const scheme of ['light', 'dark']) {
    const page = await fresh({ colorScheme: scheme });
    const check = async (state) => {
      found[`${scheme}, ${state}`] = await violations(page);
    };
    await check('start');
    await page.click('#process');
    await page.waitForSelector('#message[open]');
    await check('message box');
    await page.click('#message-ok');
    for (const [id, typed] of [['password', 'a password'], ['text', 'a text\nof two lines']]) {
      await page.focus(`#${id}`);
      await page.keyboard.type(typed);
    }
    await check('filled');
    await page.click('#menu-button');
    await page.waitForSelector('#menu');
    await check('menu');
    await page.click('#about-item');
    await page.waitForSelector('#about[open]');
    await check('about box');
  }
  const none = Object.fromEntries(Object.keys(found).map((state) => [state, []]));
  assert.deepEqual(found, none);
});

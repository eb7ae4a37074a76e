// SPDX-License-Identifier: MIT
// A result that stands but is in doubt: the engine's warning follows the new text
// in the message box, and Ctrl+Z still brings back the text that was there.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { boxValue, fillBoth, isModal, pageSuite, pressProcess } from './lib/browser.mjs';
import { engineResult } from './lib/engine.mjs';

const { fresh } = pageSuite();

test('a doubtful result is warned of after the new text, in the engine\'s words', async () => {
  const page = await fresh();
  const sealed = engineResult('pw', 'a letter').text;
  const body = sealed.slice(2, -2);
  const cases = [
    ['a wrong password', 'not pw', sealed, true],
    ['a damaged body', 'pw', `{{G${body.slice(1)}}}`, true],
    ['a sealed text cut short', 'pw', sealed.slice(0, 40), true],
    ['the right password', 'pw', sealed, false],
  ];
  for (const [what, password, text, warned] of cases) {
    const { warning } = engineResult(password, text);
    assert.equal(warning !== '', warned, `${what}: the engine's judgement`);
    await fillBoth(page, password, text);
    await pressProcess(page);
    assert.notEqual(await boxValue(page), text, `${what}: the new text is in the box`);
    assert.equal(await page.$eval('#message', (d) => d.open), warned, what);
    if (warned) {
      assert.ok(await isModal(page, '#message'), `${what}: modal`);
      const titled = page.getByRole('alertdialog', { name: 'tarnel', exact: true });
      assert.ok(await page.locator('#message').and(titled).isVisible(), `${what}: named tarnel`);
      assert.ok(await page.isVisible('#message .warning'), `${what}: the warning icon`);
      // As shown, its line breaks kept.
      assert.equal(await page.innerText('#message-text'), warning, what);
      await page.click('#message-ok');
      await page.waitForSelector('#message:not([open])', { state: 'attached' });
    }
    await page.focus('#text');
    await page.keyboard.press('Control+Z');
    assert.equal(await boxValue(page), text, `${what}: Ctrl+Z`);
  }
});

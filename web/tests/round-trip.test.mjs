// SPDX-License-Identifier: MIT
// Texts of every script sealed in the page and by tarnel-cli with the same
// password: the sealed texts are the same bytes, and each opens back both ways;
// and passwords pasted into the page that count as tarnel-cli's password file.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { assertNoErrors, boxValue, fillBoth, launch, openPage, pasteText, pressProcess, webDir } from './lib/browser.mjs';
import { open, seal } from './lib/cli.mjs';
import { isHeld, resultText } from './lib/result.mjs';
import { serve } from './lib/server.mjs';
import { openedForm, randomPassword, randomSource, randomText, seedFromEnv } from './lib/texts.mjs';

const seed = seedFromEnv();
const rng = randomSource(seed);
const all = ['latin', 'greek', 'cyrillic', 'cjk', 'arabic', 'emoji'];

// The box is a textarea: its value has every CR LF and lone CR as LF, so the page
// seals LF where the CLI reads CR LF or CR. Both reach the engine as CR LF (the
// text rule), so the sealed texts must still be equal; opened, both give LF.
const cases = [
  ['Latin with accents (all in Windows-1252)', randomText(rng, ['latin'], 300)],
  ['Greek', randomText(rng, ['greek'], 200)],
  ['Cyrillic', randomText(rng, ['cyrillic'], 200)],
  ['CJK', randomText(rng, ['cjk'], 150)],
  ['Arabic', randomText(rng, ['arabic'], 200)],
  ['emoji', randomText(rng, ['emoji'], 80)],
  ['mixed scripts', randomText(rng, all, 400)],
  ['lines with LF', randomText(rng, all, 300, '\n')],
  ['lines with CR LF', randomText(rng, all, 300, '\r\n')],
  ['lines with lone CR', randomText(rng, ['latin', 'greek'], 300, '\r')],
  ['mixed line breaks and U+2028', randomText(rng, all, 150, '\r\n') + '\r' + randomText(rng, all, 100, '\u2028')],
  ['surrounding spaces and breaks', `  \t ${randomText(rng, all, 60)}  \r\n \n`],
  ['a leading byte-order mark', `\uFEFF${randomText(rng, ['latin', 'cyrillic'], 60)}`],
  // Only the text's very first character can be a mark the seal drops: these keep it.
  ['a byte-order mark after white space', ` \t\uFEFF${randomText(rng, ['latin', 'cjk'], 60)}`],
  ['a byte-order mark inside', `${randomText(rng, all, 40)}\uFEFF${randomText(rng, all, 40)}`],
  ['only a byte-order mark', '\uFEFF'],
  ['exactly 32 bytes', 'a'.repeat(31) + 'é'], // é is one byte in Windows-1252
  ['a long text of 300 000 characters', randomText(rng, all, 300000, '\r\n')],
];

describe(`texts sealed alike in the page and by tarnel-cli (seed ${seed}, TARNEL_SEED to repeat)`, () => {
  let browser;
  let server;
  let session;
  before(async () => {
    browser = await launch();
    server = await serve(webDir);
    session = await openPage(browser, `${server.origin}/`);
  });
  after(async () => {
    await browser?.close();
    await server?.stop();
  });

  for (const [name, text] of cases) {
    test(name, async () => {
      const { page } = session;
      const password = randomPassword(rng);
      const why = `seed ${seed}, password ${JSON.stringify(password)}`;
      const expected = openedForm(text);

      await fillBoth(page, password, text);
      await pressProcess(page);
      const pageSealed = await resultText(page);
      const cliSealed = await seal(password, text);
      assert.equal(pageSealed, cliSealed, `sealed otherwise than tarnel-cli (${why})`);

      assert.equal(await open(password, pageSealed), expected, `tarnel-cli opens the page's seal otherwise (${why})`);

      await pasteText(page, cliSealed);
      await pressProcess(page);
      assert.equal(await resultText(page), expected, `the page opens tarnel-cli's seal otherwise (${why})`);
      // Delete on a held result leaves the box empty, for the next text.
      if (await isHeld(page)) {
        await page.focus('#held');
        await page.keyboard.press('Delete');
        assert.equal(await boxValue(page), '');
      }
    });
  }

  // A password pasted from the clipboard (a real Ctrl+V) counts as tarnel-cli
  // takes the same bytes from its password file: a leading byte-order mark
  // dropped, then only the first line.
  const pastedPasswords = ['pw\nrest', 'pw\r\nrest', 'pw\rrest', 'pw\u2028rest', '\uFEFFpw', 'pw'];
  for (const pasted of pastedPasswords) {
    const shown = JSON.stringify(pasted).replace(/[\u2028\uFEFF]/g,
                                                  (c) => `\\u${c.charCodeAt(0).toString(16)}`);
    test(`a password pasted as ${shown}`, async () => {
      const { page, context } = session;
      await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: server.origin });
      const text = randomText(rng, all, 60);
      await page.fill('#password', '');
      await page.evaluate((p) => navigator.clipboard.writeText(p), pasted);
      await page.focus('#password');
      await page.keyboard.press('Control+V');
      await pasteText(page, text);
      await pressProcess(page);
      assert.equal(await boxValue(page), await seal(pasted, text), `sealed otherwise than tarnel-cli (seed ${seed})`);
    });
  }

  test('no errors on the console', () => assertNoErrors(session.errors));
});

// SPDX-License-Identifier: MIT
// The window as a keyboard user meets it: the controls and their names, focus,
// Tab, Enter, Esc, Ctrl+A, the page's own undo of a Process, the message box.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import {
  boxValue,
  engineReady,
  fillBoth,
  focusedId,
  holdWorkerHandOvers,
  isModal,
  measureCount,
  pageSuite,
  processDone,
  processWith,
  pressProcess,
  settle,
} from './lib/browser.mjs';
import { openedForm } from './lib/texts.mjs';

const kInstruction = 'Paste the text to encrypt or decrypt in this text box. Then press the "Process" button.';
const kEmptyPassword = 'Please Enter the Password to Process';

const { fresh } = pageSuite();

async function tabSequence(page, key, presses) {
  const seen = [];
  for (let i = 0; i < presses; i++) {
    await page.keyboard.press(key);
    seen.push(await focusedId(page));
  }
  // Between the last control and the first, focus may pass through the
  // browser's own chrome: the page then reports no focused control.
  return seen.filter((id) => id !== '');
}

describe('the window at start', () => {
  test('title, heading, instruction and the controls by their accessible names', async () => {
    const page = await fresh();
    assert.equal(await page.title(), 'Moltrane Vessk!!!');
    assert.ok(await page.getByRole('heading', { name: 'Moltrane Vessk!!!', exact: true }).isVisible());
    assert.equal((await page.textContent('#instruction')).replace(/\s+/g, ' ').trim(), kInstruction);
    const idOf = (locator) => locator.evaluate((e) => e.id);
    assert.equal(await idOf(page.getByRole('button', { name: 'Process', exact: true })), 'process');
    assert.equal(await idOf(page.getByLabel('Password', { exact: true })), 'password');
    assert.equal(await page.getAttribute('#password', 'type'), 'password');
    assert.equal(await idOf(page.getByRole('textbox', { name: 'Text to encrypt or decrypt', exact: true })), 'text');
    assert.equal(await page.$eval('#text', (e) => e.localName), 'textarea');
    assert.equal(await page.$eval('#process', (b) => b.type === 'submit' && b.form?.id), 'main-form');
  });

  test('Process has the focus', async () => {
    const page = await fresh();
    assert.equal(await focusedId(page), 'process');
  });

  test('Tab goes Process, password, text and round again; Shift+Tab the other way', async () => {
    const page = await fresh();
    assert.deepEqual((await tabSequence(page, 'Tab', 7)).slice(0, 5), ['password', 'text', 'process', 'password', 'text']);
    await page.focus('#process');
    assert.deepEqual((await tabSequence(page, 'Shift+Tab', 7)).slice(0, 4), ['text', 'password', 'process', 'text']);
  });
});

describe('Enter', () => {
  for (const [where, id] of [
    ['in the password field', 'password'],
    ['on the Process button', 'process'],
  ]) {
    test(`${where} runs Process`, async () => {
      const page = await fresh();
      await fillBoth(page, 'pw', 'a note');
      await page.focus(`#${id}`);
      await processWith(page, () => page.keyboard.press('Enter'));
      assert.match(await boxValue(page), /^\{\{[0-9a-f]{64}4294967294\}\}$/);
    });
  }

  test('in the box is a line break and runs nothing', async () => {
    const page = await fresh();
    await fillBoth(page, 'pw', 'first');
    await page.focus('#text');
    await page.keyboard.press('Control+End');
    const measured = await measureCount(page);
    await page.keyboard.press('Enter');
    await page.keyboard.type('second');
    await settle(page);
    assert.equal(await boxValue(page), 'first\nsecond');
    assert.equal(await measureCount(page), measured);
    assert.equal(await page.$eval('#message', (d) => d.open), false);
  });
});

describe('the message box', () => {
  test('an empty password is asked for; OK, Esc and Enter close it, focus returns, the box is kept', async () => {
    const page = await fresh();
    await page.fill('#text', 'a note');
    const closers = [
      ['#process', () => page.click('#message-ok')],
      ['#password', () => page.keyboard.press('Escape')],
      ['#process', () => page.keyboard.press('Enter')],
    ];
    for (const [origin, close] of closers) {
      await page.focus(origin);
      await page.keyboard.press('Enter');
      await page.waitForSelector('#message[open]');
      assert.ok(await isModal(page, '#message'), 'the message box is modal');
      const named = { name: 'tarnel', exact: true };
      const titled = page.getByRole('dialog', named).or(page.getByRole('alertdialog', named));
      assert.ok(await page.locator('#message').and(titled).isVisible(), 'a dialog named tarnel');
      assert.equal((await page.textContent('#message-text')).trim(), kEmptyPassword);
      assert.equal((await page.textContent('#message-ok')).trim(), 'OK');
      assert.equal(await focusedId(page), 'message-ok');
      await close();
      await page.waitForSelector('#message:not([open])', { state: 'attached' });
      assert.equal(await focusedId(page), origin.slice(1), 'focus returns where it was');
      assert.equal(await boxValue(page), 'a note');
    }
  });

  test('Esc with nothing open changes nothing', async () => {
    const page = await fresh();
    await fillBoth(page, 'pw', ' a note\nkept as it is ');
    const url = page.url();
    const measured = await measureCount(page);
    for (const id of ['process', 'password', 'text']) {
      await page.focus(`#${id}`);
      await page.keyboard.press('Escape');
      await settle(page);
      assert.equal(await focusedId(page), id);
      assert.equal(await boxValue(page), ' a note\nkept as it is ');
      assert.equal(await page.inputValue('#password'), 'pw');
      assert.equal(await page.$$eval('dialog[open]', (d) => d.length), 0);
      assert.equal(await page.isVisible('#menu'), false);
    }
    assert.equal(page.url(), url);
    assert.equal(page.isClosed(), false);
    assert.equal(await measureCount(page), measured);
  });
});

describe('editing the box', () => {
  test('Ctrl+A selects the whole box', async () => {
    const page = await fresh();
    const text = 'one\ntwo Ünïcödé 😀\nthree';
    await page.fill('#text', text);
    await page.$eval('#text', (box) => {
      box.focus();
      box.setSelectionRange(5, 5);
    });
    await page.keyboard.press('Control+A');
    assert.deepEqual(await page.$eval('#text', (b) => [b.selectionStart, b.selectionEnd]), [0, text.length]);
  });

  test('Ctrl+Z after Process brings back the box exactly; Ctrl+Shift+Z and Ctrl+Y redo it', async () => {
    const page = await fresh();
    const before = '  Grüße, café\nzweite Zeile\n\n  ';
    await fillBoth(page, 'pw', before);
    await pressProcess(page);
    const sealed = await boxValue(page);
    assert.match(sealed, /^\{\{/);
    await page.focus('#text');
    for (const redo of ['Control+Shift+Z', 'Control+Y']) {
      await page.keyboard.press('Control+Z');
      assert.equal(await boxValue(page), before, 'undo');
      await page.keyboard.press(redo);
      assert.equal(await boxValue(page), sealed, `redo with ${redo}`);
    }
  });

  test('Ctrl+Z after a wrong password brings back the sealed text, which then opens', async () => {
    const page = await fresh();
    const text = 'Meet me at the station\nat nine';
    await fillBoth(page, 'right one', text);
    await pressProcess(page);
    const sealed = await boxValue(page);
    await page.fill('#password', 'wrong one');
    await pressProcess(page);
    // The engine's warning that the password looks wrong comes over the new text.
    assert.equal(await page.$eval('#message', (d) => d.open), true);
    await page.click('#message-ok');
    assert.notEqual(await boxValue(page), openedForm(text));
    assert.notEqual(await boxValue(page), sealed);
    await page.focus('#text');
    await page.keyboard.press('Control+Z');
    assert.equal(await boxValue(page), sealed);
    await page.fill('#password', 'right one');
    await pressProcess(page);
    assert.equal(await boxValue(page), text);
  });
});

describe('while the engine works', () => {
  test('at each hand-over to and from the worker, the working state shows and no key, paste or press takes', async () => {
    const page = await fresh();
    await page.addInitScript(holdWorkerHandOvers);
    await page.reload();
    await engineReady(page);
    const text = 'a note\nof two lines';
    await fillBoth(page, 'pw', text);
    const measured = await measureCount(page);
    const held = () => page.waitForFunction(() => window.workerGate.queue.length > 0);
    const state = () =>
      page.evaluate(() => ({
        busy: document.getElementById('window').getAttribute('aria-busy'),
        working: !document.getElementById('working').hidden && document.getElementById('working').getClientRects().length > 0,
      }));
    // Everything a user might try: typing, Enter and pasting in both fields, Process again.
    const tryEverything = async () => {
      for (const id of ['text', 'password']) {
        await page.focus(`#${id}`);
        await page.keyboard.type('zz');
        await page.keyboard.press('Enter');
        await page.keyboard.insertText('pasted');
      }
      await page.click('#process', { force: true });
      await page.focus('#process');
      await page.keyboard.press('Enter');
    };

    const posted = await page.evaluate(() => {
      window.workerGate.holding = true;
      return window.workerGate.posted;
    });
    await page.click('#process');
    await held(); // the request, not yet with the worker
    assert.deepEqual(await state(), { busy: 'true', working: true });
    await tryEverything();
    await page.evaluate(() => window.workerGate.release());
    await held(); // the worker's answer, not yet with the page
    assert.deepEqual(await state(), { busy: 'true', working: true });
    await tryEverything();
    assert.equal(await boxValue(page), text);
    assert.equal(await page.inputValue('#password'), 'pw');
    await page.evaluate(() => {
      window.workerGate.holding = false;
      window.workerGate.release();
    });
    await processDone(page, measured);
    await settle(page);
    assert.equal(await measureCount(page), measured + 1, 'one Process, the other presses ignored');
    assert.equal(await page.evaluate(() => window.workerGate.posted), posted + 1, 'one request to the engine');
    assert.match(await boxValue(page), /^\{\{[0-9a-f]{64}4294967294\}\}$/);
    await page.fill('#text', await boxValue(page));
    await pressProcess(page);
    assert.equal(await boxValue(page), text, 'sealed with the password as it was');
  });
});

// SPDX-License-Identifier: MIT
// Files in and out: a file opened by the menu, by Ctrl+O or dropped goes through
// the engine as tarnel-cli takes the same file; Save gives tarnel-cli's bytes; a
// result too large for the box is held, and Ctrl+Z brings back what was there.
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import { mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { boxValue, fillBoth, focusedId, pageSuite, pressProcess } from './lib/browser.mjs';
import { cliPath } from './lib/cli.mjs';
import { isHeld, saved } from './lib/result.mjs';
import { randomSource, randomText, seedFromEnv } from './lib/texts.mjs';

const seed = seedFromEnv();
const rng = randomSource(seed);
const password = 'pässwort';
const { fresh } = pageSuite();

// tarnel-cli on a file: { ok, out } with its standard output as bytes.
function cli(file) {
  return new Promise((resolve) => {
    execFile(cliPath, ['--password-file', path.join(dir, 'password'), file], { encoding: 'buffer', maxBuffer: 1 << 28 },
             (error, stdout) => resolve({ ok: !error, out: stdout }));
  });
}

// Ways in: the menu's item, Ctrl+O, and a drop on the page.
const ways = {
  async menu(page, file) {
    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), (async () => {
      await page.keyboard.press('Alt+Space');
      await page.keyboard.press('o');
    })()]);
    await chooser.setFiles(file);
  },
  async 'Ctrl+O'(page, file) {
    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.keyboard.press('Control+O')]);
    await chooser.setFiles(file);
  },
  async drop(page, file) {
    const bytes = [...(await readFile(file))];
    await page.$eval('#text', (box, [name, data]) => {
      const transfer = new DataTransfer();
      transfer.items.add(new File([new Uint8Array(data)], name));
      for (const type of ['dragover', 'drop']) box.dispatchEvent(new DragEvent(type, { bubbles: true, cancelable: true, dataTransfer: transfer }));
    }, [path.basename(file), bytes]);
  },
};

let dir;
before(async () => {
  dir = await mkdtemp(path.join(tmpdir(), 'tarnel-files-'));
  await writeFile(path.join(dir, 'password'), password);
});
after(() => rm(dir, { recursive: true, force: true }));

// Each file, in by one way, sealed (or refused) as tarnel-cli seals it, saved, then
// opened back and saved again.
const files = [
  ['note.txt', 'menu', Buffer.from('Grüße aus Köln\r\n— Ключи 鍵 🔑\r\n'), 'box'],
  ['bom.txt', 'Ctrl+O', Buffer.from('\uFEFFa line\rand another\n'), 'box'],
  ['long.txt', 'drop', Buffer.from(randomText(rng, ['latin', 'cyrillic', 'cjk'], 40000, '\r\n')), 'held'],
  ['latin1.txt', 'menu', Buffer.from('café crème\n', 'latin1'), 'refused'],
];

for (const [name, way, bytes, fate] of files) {
  test(`${name} in by ${way}: ${fate} (seed ${seed})`, async () => {
    const file = path.join(dir, name);
    await writeFile(file, bytes);
    const page = await fresh();
    await page.fill('#password', password);
    await page.fill('#text', 'was here before');
    await page.focus('#text');
    await ways[way](page, file);
    await page.waitForFunction(() => document.getElementById('text').value !== 'was here before' || !document.getElementById('held').hidden);
    const sealedByCli = await cli(file);
    const shown = async () => ((await isHeld(page)) ? 'held' : boxValue(page));
    const fileShown = fate === 'box' ? bytes.toString('utf8').replace(/\r\n?/g, '\n') : 'held';
    assert.equal(await shown(), fileShown);
    // Ctrl+Z brings back what the box held before, wherever the focus went; Ctrl+Y the file.
    await page.focus(fileShown === 'held' ? '#held' : '#text');
    await page.keyboard.press('Control+Z');
    assert.equal(await shown(), 'was here before');
    assert.equal(await focusedId(page), 'text');
    await page.keyboard.press('Control+Y');
    assert.equal(await shown(), fileShown);
    if (fate === 'refused') {
      await page.click('#process');
      await page.waitForSelector('#message[open]');
      assert.equal(sealedByCli.ok, false, 'tarnel-cli refuses it too');
      assert.equal(await page.textContent('#message-text'), 'The text is not valid UTF-8, so it cannot be processed as a text.');
      await page.click('#message-ok');
      assert.match(await page.textContent('#held-summary'), /^File "latin1\.txt", 11 bytes, not UTF-8$/);
      assert.ok((await saved(page)).bytes.equals(bytes), 'saved back as it came');
    } else {
      await pressProcess(page);
      const sealed = await saved(page, () => page.keyboard.press('Control+S'));
      assert.equal(sealed.name, 'sealed.txt');
      assert.ok(sealed.bytes.equals(sealedByCli.out), 'saved as tarnel-cli seals the file');
      const sealedFile = path.join(dir, `${name}.sealed`);
      await writeFile(sealedFile, sealed.bytes);
      await pressProcess(page);
      const opened = await saved(page, () => page.keyboard.press('Control+S'));
      assert.equal(opened.name, 'opened.txt');
      assert.ok(opened.bytes.equals((await cli(sealedFile)).out), 'opened back as tarnel-cli opens it');
    }
  });
}

test('the held panel: named by what it holds, reached by Tab, its buttons named', async () => {
  const page = await fresh();
  await fillBoth(page, password, randomText(rng, ['latin'], 70000));
  await pressProcess(page);
  const panel = page.getByRole('group', { name: /^Sealed text, \d{3}\.\d KiB \(\d{3},\d{3} bytes\)$/ });
  assert.ok(await panel.isVisible());
  for (const name of ['Copy', 'Save...']) assert.ok(await panel.getByRole('button', { name, exact: true }).isVisible());
  await page.focus('#password');
  const seen = [];
  for (let i = 0; i < 5; i++) {
    await page.keyboard.press('Tab');
    seen.push(await focusedId(page));
  }
  // Between the last control and the first, focus may pass through the browser's own chrome.
  assert.deepEqual(seen.filter((id) => id !== '').slice(0, 4), ['held', 'held-copy', 'held-save', 'process']);
});

test('the menu: its new items by name, arrows and Home and End go round them, a letter chooses one', async () => {
  const page = await fresh();
  await page.fill('#text', 'to save');
  await page.focus('#password');
  await page.keyboard.press('Alt+Space');
  for (const name of ['About tarnel...', 'Open file...', 'Save...', 'Copy']) {
    assert.equal(await page.getByRole('menuitem', { name, exact: true }).count(), 1, name);
  }
  const seen = [];
  for (const key of ['ArrowDown', 'ArrowDown', 'ArrowDown', 'ArrowDown', 'ArrowUp', 'Home', 'End']) {
    await page.keyboard.press(key);
    seen.push(await focusedId(page));
  }
  // Share is not offered by this browser, so the arrows pass it by.
  assert.deepEqual(seen, ['open-item', 'save-item', 'copy-item', 'about-item', 'copy-item', 'about-item', 'copy-item']);
  const file = await saved(page, () => page.keyboard.press('s'));
  assert.deepEqual([file.name, file.bytes.toString()], ['text.txt', 'to save']);
  assert.equal(await page.isVisible('#menu'), false);
  assert.equal(await focusedId(page), 'password');
});

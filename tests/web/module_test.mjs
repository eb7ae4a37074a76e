// The WebAssembly module's interface, run under Node.js: the block cipher's
// known-answer vectors, the process as the page calls it, and what is left in the
// module's memory afterwards.
//
// TARNEL_WEB_MODULE: the module built for Node.js (tarnel_web_node.js).
// TARNEL_VECTORS: the folder of known-answer vectors.
// TARNEL_CLI (optional): the native tarnel-cli, to compare seals with.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { test } from 'node:test';

const modulePath = process.env.TARNEL_WEB_MODULE;
const vectorsDir = process.env.TARNEL_VECTORS;
assert.ok(modulePath && vectorsDir, 'TARNEL_WEB_MODULE and TARNEL_VECTORS must be set');

const createTarnelModule = createRequire(import.meta.url)(modulePath);
const engine = await createTarnelModule({
  wasmBinary: readFileSync(modulePath.replace(/\.js$/, '.wasm')),
});

const encoder = new TextEncoder();
const decoder = new TextDecoder();
const kinds = ['sealed', 'opened', 'message'];

function copyIn(bytes) {
  const pointer = engine._tarnel_alloc(bytes.length);
  assert.notEqual(pointer, 0);
  engine.HEAPU8.set(bytes, pointer);
  return pointer;
}

// The page's call: UTF-8 in (or a file's bytes as they are), { kind, text } out,
// every buffer released.
function processText(password, text) {
  const passwordBytes = encoder.encode(password);
  const textBytes = typeof text === 'string' ? encoder.encode(text) : text;
  const passwordPointer = copyIn(passwordBytes);
  const textPointer = copyIn(textBytes);
  const kind = engine._tarnel_process(passwordPointer, passwordBytes.length, textPointer,
                                      textBytes.length);
  const data = engine._tarnel_result_data();
  const result = decoder.decode(engine.HEAPU8.slice(data, data + engine._tarnel_result_size()));
  engine._tarnel_result_release();
  engine._tarnel_wipe_free(textPointer, textBytes.length);
  engine._tarnel_wipe_free(passwordPointer, passwordBytes.length);
  return { kind: kinds[kind], text: result };
}

const hex = (text) => Uint8Array.from(text.match(/../g), (pair) => parseInt(pair, 16));
const toHex = (bytes) => Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join('');

function block(key, input, decrypt, times = 1) {
  const keyPointer = copyIn(key);
  const inPointer = copyIn(input);
  const outPointer = engine._tarnel_alloc(32);
  const done = engine._tarnel_rijndael_block(keyPointer, key.length, decrypt ? 1 : 0, times,
                                             inPointer, outPointer);
  const output = engine.HEAPU8.slice(outPointer, outPointer + 32);
  for (const pointer of [keyPointer, inPointer, outPointer]) engine._tarnel_wipe_free(pointer, 32);
  return done ? toHex(output) : null;
}

function vectorLines(file) {
  return readFileSync(join(vectorsDir, file), 'utf8').split('\n')
      .filter((line) => line.trim() && !line.startsWith('#'))
      .map((line) => line.trim().split(/\s+/));
}

test('the block cipher meets every known-answer vector, both ways', () => {
  let count = 0;
  for (const file of readdirSync(vectorsDir).filter((name) => name.endsWith('.txt'))) {
    for (const [key, plain, ...results] of vectorLines(file)) {
      if (file.includes('iterated')) {
        // The block encrypted 100 and 1000 times in a row.
        assert.equal(block(hex(key), hex(plain), false, 100), results[0], `${file}: ${key}`);
        assert.equal(block(hex(key), hex(plain), false, 1000), results[1], `${file}: ${key}`);
      } else {
        assert.equal(block(hex(key), hex(plain), false), results[0], `${file}: ${key}`);
        assert.equal(block(hex(key), hex(results[0]), true), plain, `${file}: ${key}`);
      }
      ++count;
    }
  }
  assert.ok(count > 2000, `only ${count} vectors read`);
  assert.equal(block(new Uint8Array(20), new Uint8Array(32), false), null, 'a 20-byte key');
});

const texts = [
  'plain', 'Grüße, café – naïve', 'Καλημέρα κόσμε', 'Привет, мир', '日本語のテキスト',
  'مرحبا بالعالم', 'emoji 😀👍🏽', 'two\nlines\n\nand a gap', '  spaced  ', '€ and ‰ and œ',
];

test('texts in any script seal and open back, with LF line breaks', () => {
  for (const text of texts) {
    const sealed = processText('pässwörd', text);
    assert.equal(sealed.kind, 'sealed', text);
    assert.match(sealed.text, /^\{\{[0-9a-f]+[0-9]{10}\}\}$/, text);
    const opened = processText('pässwörd', sealed.text);
    assert.deepEqual(opened, { kind: 'opened', text: text.trim() }, text);
  }
  // Every kind of line break is sealed as CR LF, so all open alike.
  const sealedCrLf = processText('pw', 'a\r\nb\rc\u2028d').text;
  assert.equal(sealedCrLf, processText('pw', 'a\nb\nc\nd').text);
  assert.equal(processText('pw', sealedCrLf).text, 'a\nb\nc\nd');
});

test('the engine refuses with its own messages', () => {
  assert.deepEqual(processText('', 'text'),
                   { kind: 'message', text: 'Please Enter the Password to Process' });
  assert.deepEqual(processText('a\0b', 'text'),
                   { kind: 'message', text: 'The password holds a NUL character.' });
  assert.deepEqual(processText('pw', 'a\0b'), {
    kind: 'message', text: 'The text holds a NUL character, which a sealed text cannot keep.',
  });
  // A file's bytes that are not UTF-8 are refused, as tarnel-cli refuses them, and
  // the page can tell such a file by the engine's own test.
  const latin1 = Uint8Array.from([0x63, 0x61, 0x66, 0xe9]);
  assert.deepEqual(processText('pw', latin1), {
    kind: 'message', text: 'The text is not valid UTF-8, so it cannot be processed as a text.',
  });
  for (const [bytes, utf8] of [[latin1, 0], [encoder.encode('café'), 1], [new Uint8Array(), 1]]) {
    const pointer = copyIn(bytes);
    assert.equal(engine._tarnel_is_text(pointer, bytes.length), utf8, `${bytes}`);
    engine._tarnel_wipe_free(pointer, bytes.length);
  }
  const tooLarge = engine._tarnel_too_large_message();
  assert.equal(decoder.decode(engine.HEAPU8.slice(tooLarge, engine.HEAPU8.indexOf(0, tooLarge))),
               'The text is too large to process.');
});

test('a wrong password opens to something else, and no harm is done', () => {
  const sealed = processText('right', 'the text').text;
  const opened = processText('wrong', sealed);
  assert.equal(opened.kind, 'opened');
  assert.notEqual(opened.text, 'the text');
});

test('a large text grows memory and comes back whole', () => {
  const line = 'Große Zeile, 日本語 😀 and some ASCII to fill it out.\n';
  const text = line.repeat(Math.ceil((10 << 20) / line.length));
  const sealed = processText('pw', text);
  assert.equal(sealed.kind, 'sealed');
  const opened = processText('pw', sealed.text);
  assert.equal(opened.kind, 'opened');
  assert.ok(opened.text === text.trim(), 'the 10 MiB text differs once opened');
});

test('no copy of the password or the text is left in the module memory', () => {
  const password = 'Zq7-unusual-password-marker';
  const text = `A marker text that must not linger: ${'Xy9'.repeat(3000)}`;
  processText(password, processText(password, text).text);
  const memory = Buffer.from(engine.HEAPU8.buffer);
  assert.equal(memory.indexOf(Buffer.from(password)), -1, 'the password is still in memory');
  assert.equal(memory.indexOf(Buffer.from('A marker text')), -1, 'the text is still in memory');
});

test('seals what the native tarnel-cli seals', { skip: !process.env.TARNEL_CLI }, () => {
  const work = mkdtempSync(join(tmpdir(), 'tarnel-web-'));
  try {
    writeFileSync(join(work, 'pw'), 'pässwörd 🔑');
    for (const text of texts) {
      writeFileSync(join(work, 'text'), text);
      const native = execFileSync(process.env.TARNEL_CLI,
                                  ['--password-file', join(work, 'pw'), '--seal', join(work, 'text')],
                                  { encoding: 'utf8' });
      assert.equal(processText('pässwörd 🔑', text).text, native.trimEnd(), text);
    }
  } finally {
    rmSync(work, { recursive: true, force: true });
  }
});

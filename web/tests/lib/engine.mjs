// SPDX-License-Identifier: MIT
// The engine itself, as the WebAssembly module built for Node.js gives it: what a
// Process must show, in the engine's own words, for the page to be checked against.
import path from 'node:path';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');
const modulePath = path.resolve(
  repo, process.env.TARNEL_WEB_MODULE ?? 'build/wasm/web/tarnel_web_node.js');

const engine = await createRequire(import.meta.url)(modulePath)({
  wasmBinary: readFileSync(modulePath.replace(/\.js$/, '.wasm')),
});
const encoder = new TextEncoder();
const decoder = new TextDecoder();

function copyIn(text) {
  const bytes = encoder.encode(text);
  const pointer = engine._tarnel_alloc(bytes.length);
  engine.HEAPU8.set(bytes, pointer);
  return { pointer, size: bytes.length };
}

const readString = (pointer, size) => decoder.decode(engine.HEAPU8.slice(pointer, pointer + size));

// The page's call: { text, warning } for `password` and `text`.
export function engineResult(password, text) {
  const passwordIn = copyIn(password);
  const textIn = copyIn(text);
  engine._tarnel_process(passwordIn.pointer, passwordIn.size, textIn.pointer, textIn.size);
  const result = {
    text: readString(engine._tarnel_result_data(), engine._tarnel_result_size()),
    warning: readString(engine._tarnel_warning_data(), engine._tarnel_warning_size()),
  };
  engine._tarnel_result_release();
  engine._tarnel_wipe_free(textIn.pointer, textIn.size);
  engine._tarnel_wipe_free(passwordIn.pointer, passwordIn.size);
  return result;
}

// The engine's own speed in WebAssembly, under Node.js: whole seals and opens of
// printable texts through the module's interface, as the web page calls it, and
// the block cipher alone. Its native peer is tarnel-bench's
// BM_Seal|BM_Open/*/tarnel-one-cpu-portable and BM_EcbEncrypt/*/portable, which
// bench/run.sh runs beside it.
//
//   node bench/web_engine.mjs MODULE.js [--quick]
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { resolve } from 'node:path';

const [moduleArgument, ...flags] = process.argv.slice(2);
if (!moduleArgument) throw new Error('usage: web_engine.mjs MODULE.js [--quick]');
const modulePath = resolve(moduleArgument);
const quick = flags.includes('--quick');
const engine = await createRequire(import.meta.url)(modulePath)({
  wasmBinary: readFileSync(modulePath.replace(/\.js$/, '.wasm')),
});

const MiB = 1 << 20;
const median = (values) => values.sort((a, b) => a - b)[values.length >> 1];

// Printable bytes with nothing to trim, as the native benchmark seals.
function printable(size) {
  const bytes = new Uint8Array(size);
  let state = 12345;
  for (let i = 0; i < size; ++i) {
    state = (state * 1103515245 + 12345) >>> 0;
    bytes[i] = 33 + (state >>> 16) % 94;
  }
  return bytes;
}

function copyIn(bytes) {
  const pointer = engine._tarnel_alloc(bytes.length);
  engine.HEAPU8.set(bytes, pointer);
  return pointer;
}

// Milliseconds for one call of the process, the result left in the module.
function timeProcess(input) {
  const password = copyIn(new TextEncoder().encode('correct horse'));
  const text = copyIn(input);
  const start = performance.now();
  const kind = engine._tarnel_process(password, 13, text, input.length);
  const elapsed = performance.now() - start;
  if (kind > 1) throw new Error('the engine refused the text');
  const result = engine.HEAPU8.slice(engine._tarnel_result_data(),
                                     engine._tarnel_result_data() + engine._tarnel_result_size());
  engine._tarnel_result_release();
  engine._tarnel_wipe_free(text, input.length);
  engine._tarnel_wipe_free(password, 13);
  return { elapsed, result };
}

function report(name, size, times) {
  const ms = median(times);
  console.log(`${name.padEnd(34)} ${ms.toFixed(1).padStart(8)} ms ${(size / MiB / (ms / 1000)).toFixed(1).padStart(7)} MiB/s`);
}

const runs = quick ? 3 : 7;
for (const size of quick ? [MiB] : [MiB, 64 * MiB]) {
  const plain = printable(size);
  const sizeRuns = size > MiB ? 3 : runs;
  const sealed = timeProcess(plain).result;
  const name = `${size / MiB}MiB`;
  report(`wasm seal/${name}`, size, Array.from({ length: sizeRuns }, () => timeProcess(plain).elapsed));
  report(`wasm open/${name}`, size, Array.from({ length: sizeRuns }, () => timeProcess(sealed).elapsed));
}

// The block cipher alone: 1 MiB of blocks, each encrypted in turn.
const key = copyIn(printable(32));
const block = copyIn(printable(32));
const out = engine._tarnel_alloc(32);
const blockTimes = Array.from({ length: runs }, () => {
  const start = performance.now();
  engine._tarnel_rijndael_block(key, 32, 0, MiB / 32, block, out);
  return performance.now() - start;
});
report('wasm rijndael-256 encrypt/1MiB', MiB, blockTimes);

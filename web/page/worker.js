// The engine's worker, after the module's own loader (createTarnelModule): it
// loads the module from the bytes the page hands over, then processes one text
// per message, so the page stays responsive while a large text is worked on.
'use strict';

let engine = null;
const encoder = new TextEncoder();
// The engine's bytes are the text: a leading U+FEFF is one of its characters, as
// tarnel-cli writes it, and not a mark for the decoder to drop.
const decoder = new TextDecoder('utf-8', { ignoreBOM: true });

// Copies `text` into the module's memory as UTF-8: { pointer, size, capacity },
// or null when the module's memory cannot grow that far.
function copyIn(text) {
  const capacity = Math.max(1, text.length * 3);
  // A size the module's 32-bit memory cannot hold would wrap on its way in.
  if (capacity > 0x7fffffff) return null;
  const pointer = engine._tarnel_alloc(capacity);
  if (!pointer) return null;
  // Memory may have grown, which replaces HEAPU8: read it after allocating.
  const { written } = encoder.encodeInto(text, engine.HEAPU8.subarray(pointer, pointer + capacity));
  return { pointer, size: written, capacity };
}

function release(buffer) {
  if (buffer) engine._tarnel_wipe_free(buffer.pointer, buffer.capacity);
}

function readString(pointer, size) {
  return decoder.decode(engine.HEAPU8.subarray(pointer, pointer + size));
}

function tooLargeMessage() {
  const pointer = engine._tarnel_too_large_message();
  return readString(pointer, engine.HEAPU8.indexOf(0, pointer) - pointer);
}

const kinds = ['sealed', 'opened', 'message'];

function processText(password, text) {
  const passwordBuffer = copyIn(password);
  const textBuffer = passwordBuffer && copyIn(text);
  try {
    if (!textBuffer) return { kind: 'message', text: tooLargeMessage() };
    const kind = engine._tarnel_process(passwordBuffer.pointer, passwordBuffer.size,
                                        textBuffer.pointer, textBuffer.size);
    const result = readString(engine._tarnel_result_data(), engine._tarnel_result_size());
    const warning = readString(engine._tarnel_warning_data(), engine._tarnel_warning_size());
    engine._tarnel_result_release();
    return { kind: kinds[kind], text: result, warning };
  } finally {
    release(textBuffer);
    release(passwordBuffer);
  }
}

// The module comes gzip-packed inside the page.
async function unpack(packed) {
  const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream('gzip'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

self.onmessage = async (event) => {
  const request = event.data;
  if (request.type === 'load') {
    try {
      engine = await createTarnelModule({ wasmBinary: await unpack(request.packedModule),
                                          print() {}, printErr() {} });
    } catch (error) {
      self.postMessage({ type: 'unavailable' });
      return;
    }
    self.postMessage({ type: 'ready', tooLarge: tooLargeMessage() });
  } else if (request.type === 'process') {
    // An abort inside the module (memory exhausted beyond what the engine can
    // refuse) throws here: the page then starts a fresh worker.
    let reply;
    try {
      reply = processText(request.password, request.text);
    } catch (error) {
      reply = { kind: 'failed', text: '' };
    }
    self.postMessage({ type: 'result', id: request.id, ...reply });
  }
};

// The engine's worker, after the module's own loader (createTarnelModule): it
// loads the module from the bytes the page hands over, then processes one text
// per message, so the page stays responsive while a large text is worked on. A
// text comes as a string from the box, or as a file's bytes in one transferred
// buffer; a large result goes back as a Blob, never as one giant string.
'use strict';

let engine = null;
const encoder = new TextEncoder();
// The engine's bytes are the text: a leading U+FEFF is one of its characters, as
// tarnel-cli writes it, and not a mark for the decoder to drop.
const decoder = new TextDecoder('utf-8', { ignoreBOM: true });

// Copies `text` (a string, or a file's bytes as they are) into the module's
// memory, as UTF-8 for a string: { pointer, size, capacity }, or null when the
// module's memory cannot grow that far.
function copyIn(text) {
  const bytes = typeof text === 'string' ? null : new Uint8Array(text);
  const capacity = Math.max(1, bytes ? bytes.length : text.length * 3);
  // A size the module's 32-bit memory cannot hold would wrap on its way in.
  if (capacity > 0x7fffffff) return null;
  const pointer = engine._tarnel_alloc(capacity);
  if (!pointer) return null;
  // Memory may have grown, which replaces HEAPU8: read it after allocating.
  const memory = engine.HEAPU8.subarray(pointer, pointer + capacity);
  if (bytes) {
    memory.set(bytes);
    return { pointer, size: bytes.length, capacity };
  }
  return { pointer, size: encoder.encodeInto(text, memory).written, capacity };
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

// A result of more than `holdAbove` bytes goes back as a Blob, which the page
// holds without turning it into a string: a text box takes seconds to show
// megabytes. A smaller one goes back as a string.
function processText(password, text, holdAbove) {
  const passwordBuffer = copyIn(password);
  const textBuffer = passwordBuffer && copyIn(text);
  try {
    if (!textBuffer) return { kind: 'message', text: tooLargeMessage() };
    const kind = kinds[engine._tarnel_process(passwordBuffer.pointer, passwordBuffer.size,
                                              textBuffer.pointer, textBuffer.size)];
    const data = engine._tarnel_result_data();
    const size = engine._tarnel_result_size();
    const warning = readString(engine._tarnel_warning_data(), engine._tarnel_warning_size());
    const reply = kind !== 'message' && size > holdAbove
        ? { kind, blob: new Blob([engine.HEAPU8.subarray(data, data + size)],
                                 { type: 'text/plain;charset=utf-8' }), size, warning }
        : { kind, text: readString(data, size), size, warning };
    engine._tarnel_result_release();
    return reply;
  } finally {
    release(textBuffer);
    release(passwordBuffer);
  }
}

// A file's bytes: its text when they are UTF-8 and few enough for the box, else
// only whether they are UTF-8 (the page holds the file itself).
function examineFile(bytes, showUpTo) {
  const buffer = copyIn(bytes);
  if (!buffer) return { utf8: false };
  try {
    const utf8 = engine._tarnel_is_text(buffer.pointer, buffer.size) === 1;
    return utf8 && buffer.size <= showUpTo
      ? { utf8, text: readString(buffer.pointer, buffer.size) }
      : { utf8 };
  } finally {
    release(buffer);
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
  } else if (request.type === 'process' || request.type === 'file') {
    // An abort inside the module (memory exhausted beyond what the engine can
    // refuse) throws here: the page then starts a fresh worker.
    let reply;
    try {
      reply = request.type === 'file'
        ? examineFile(request.bytes, request.showUpTo)
        : processText(request.password, request.text, request.holdAbove);
    } catch (error) {
      reply = { kind: 'failed', text: '' };
    }
    self.postMessage({ type: 'result', ...reply });
  }
};

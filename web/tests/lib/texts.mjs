// SPDX-License-Identifier: MIT
// Seeded random texts and passwords in many scripts, and what a sealed text
// opens back to.

// xorshift128+ reduced to 32-bit output: quick, and the same sequence for a seed.
export function randomSource(seed) {
  let a = seed >>> 0 || 1;
  let b = Math.imul(seed ^ 0x9e3779b9, 0x85ebca6b) >>> 0 || 2;
  const next = () => {
    let t = a ^ (a << 11);
    a = b;
    b = (b ^ (b >>> 19) ^ (t ^ (t >>> 8))) >>> 0;
    return b;
  };
  const int = (n) => next() % n;
  return { next, int, pick: (items) => items[int(items.length)] };
}

export function seedFromEnv() {
  const given = process.env.TARNEL_SEED;
  return given ? Number(given) >>> 0 : (Date.now() ^ (process.pid << 16)) >>> 0;
}

const range = (from, to) => Array.from({ length: to - from + 1 }, (_, i) => String.fromCodePoint(from + i));

// Letters of each script; Latin includes the Windows-1252 letters outside Latin-1.
export const kScripts = {
  latin: [...'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZàáâãäåæçèéêëìíîïñòóôõöøùúûüýÿÀÉÎÕÜßœŒšŠžŽŸƒ'],
  greek: [...range(0x391, 0x3a1), ...range(0x3a3, 0x3a9), ...range(0x3b1, 0x3c9), ...'άέήίόύώ'],
  cyrillic: [...range(0x410, 0x44f), 'ё', 'Ё', 'ї', 'є'],
  cjk: [...range(0x4e00, 0x4fff), ...range(0x3041, 0x3093), ...range(0xac00, 0xac7f)],
  arabic: [...range(0x621, 0x63a), ...range(0x641, 0x64a)],
  emoji: [...range(0x1f600, 0x1f64f), ...range(0x1f300, 0x1f320), '👨‍👩‍👧', '👍🏽', '🇫🇷', '❤️'],
};
const kPunctuation = [...',.;:!?-()"\'«»„“”‘’–—…€%&/', '0', '1', '7', '9'];

function word(rng, letters) {
  let w = '';
  for (let n = 1 + rng.int(8); n > 0; n--) w += rng.pick(letters);
  return w;
}

// About `length` characters of words from `scripts`, joined by spaces,
// punctuation and the line break `lineBreak`.
export function randomText(rng, scripts, length, lineBreak = '\n') {
  const parts = [];
  let size = 0;
  while (size < length) {
    const piece = word(rng, kScripts[rng.pick(scripts)]);
    const r = rng.int(20);
    const gap = r === 0 ? lineBreak : r === 1 ? lineBreak + lineBreak : r < 4 ? rng.pick(kPunctuation) + ' ' : ' ';
    parts.push(piece, gap);
    size += piece.length + gap.length;
  }
  parts.pop();
  return parts.join('');
}

// Printable, in several scripts, no line break; spaces anywhere, the ends included.
export function randomPassword(rng) {
  const scripts = Object.keys(kScripts);
  let p = '';
  for (let n = 1 + rng.int(14); n > 0; n--) {
    const r = rng.int(10);
    p += r === 0 ? ' ' : r < 3 ? rng.pick(kPunctuation) : rng.pick(kScripts[rng.pick(scripts)]);
  }
  return p;
}

// What a text comes back as once sealed and opened, by the box or the CLI: a
// leading byte-order mark dropped, every line break (CR LF, LF, CR, U+2028,
// U+2029) as LF, and the surrounding white space the seal does not keep removed.
export function openedForm(text) {
  return text
    .replace(/^\uFEFF/, '')
    .replace(/\r\n|\r|\n|\u2028|\u2029/g, '\n')
    .replace(/^[ \t\n\v\f\r]+|[ \t\n\v\f\r]+$/g, '');
}

// The number of characters of the sealed text of `bytes` bytes.
export function sealedLength(bytes) {
  return 64 * (Math.floor(bytes / 32) + 1) + 14;
}

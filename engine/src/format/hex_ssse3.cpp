// SPDX-License-Identifier: MIT
// The hex codec 16 bytes (32 digits) a step, on SSSE3 byte shuffles. Decoding tells
// digits by their nibbles through two small tables; only a step holding something
// else pays for the slower arithmetic that matches the portable codec byte for byte.
#include <immintrin.h>

#include "hex_codec.h"
#include "hex_simd.h"

#define TARNEL_SSSE3 __attribute__((target("ssse3")))
#define TARNEL_SSSE3_INLINE inline __attribute__((always_inline, target("ssse3")))

namespace tarnel {
namespace {

TARNEL_SSSE3_INLINE __m128i load(const void* p) {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

TARNEL_SSSE3_INLINE void store(void* p, __m128i v) {
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

// All ones in each byte whose value lies in [low, low + span].
TARNEL_SSSE3_INLINE __m128i in_range(__m128i c, char low, char span) {
    const __m128i offset = _mm_sub_epi8(c, _mm_set1_epi8(low));
    return _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(span)), offset);
}

// Space, TAB, LF, VT, FF or CR.
TARNEL_SSSE3_INLINE __m128i is_space(__m128i c) {
    return _mm_or_si128(_mm_cmpeq_epi8(c, _mm_set1_epi8(' ')), in_range(c, '\t', 4));
}

// The digits split by nibble: a byte is one of 0-9 and a-f when the flags its low
// nibble allows meet those its high nibble allows (3: 0-9, 6: 1-6, none: the rest).
struct Digits {
    __m128i low, high;  // each byte's nibbles
};

TARNEL_SSSE3_INLINE Digits nibbles(__m128i c) {
    const __m128i nibble = _mm_set1_epi8(0x0f);
    return {_mm_and_si128(c, nibble), _mm_and_si128(_mm_srli_epi16(c, 4), nibble)};
}

// All ones in each byte that is not one of 0-9 and a-f.
TARNEL_SSSE3_INLINE __m128i not_digit(Digits d) {
    const __m128i by_low = _mm_setr_epi8(1, 3, 3, 3, 3, 3, 3, 1, 1, 1, 0, 0, 0, 0, 0, 0);
    const __m128i by_high = _mm_setr_epi8(0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m128i both =
        _mm_and_si128(_mm_shuffle_epi8(by_low, d.low), _mm_shuffle_epi8(by_high, d.high));
    return _mm_cmpeq_epi8(both, _mm_setzero_si128());
}

// A digit's value: its low nibble, and 9 more for a letter.
TARNEL_SSSE3_INLINE __m128i digit_values(Digits d) {
    const __m128i letters = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    return _mm_add_epi8(d.low, _mm_shuffle_epi8(letters, d.high));
}

// Any byte's value as the portable codec takes it, so that a damaged body opens
// alike on every path: d(c) = c - 48, and 39 less again for 'a' to 'f'; wraps like
// the byte arithmetic.
TARNEL_SSSE3_INLINE __m128i stray_values(__m128i c) {
    const __m128i letter = _mm_and_si128(in_range(c, 'a', 5), _mm_set1_epi8(39));
    return _mm_sub_epi8(_mm_sub_epi8(c, _mm_set1_epi8(48)), letter);
}

// 16 d(high) + d(low) per pair, in the low byte of each 16-bit lane; digit values
// are at most 255, so the multiply-add never saturates.
TARNEL_SSSE3_INLINE __m128i pair_values(__m128i digits) {
    const __m128i weights = _mm_set1_epi16(0x0110);  // bytes 16, 1
    return _mm_and_si128(_mm_maddubs_epi16(digits, weights), _mm_set1_epi16(0x00ff));
}

}  // namespace

TARNEL_SSSE3 std::size_t ssse3_hex_encode(const uint8_t* bytes, std::size_t size,
                                          char* out) noexcept {
    const __m128i digits = _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b',
                                         'c', 'd', 'e', 'f');
    const __m128i nibble = _mm_set1_epi8(0x0f);
    std::size_t done = 0;
    for (; done + 16 <= size; done += 16) {
        const __m128i x = load(bytes + done);
        const __m128i high = _mm_shuffle_epi8(digits, _mm_and_si128(_mm_srli_epi16(x, 4), nibble));
        const __m128i low = _mm_shuffle_epi8(digits, _mm_and_si128(x, nibble));
        store(out + 2 * done, _mm_unpacklo_epi8(high, low));
        store(out + 2 * done + 16, _mm_unpackhi_epi8(high, low));
    }
    return done;
}

TARNEL_SSSE3 std::size_t ssse3_hex_decode(const char* hex, std::size_t max_bytes, uint8_t* out,
                                          bool& bad_digit) noexcept {
    auto bad = _mm_setzero_si128();
    std::size_t done = 0;
    for (; done + 16 <= max_bytes; done += 16) {
        const __m128i first = load(hex + 2 * done);
        const __m128i second = load(hex + 2 * done + 16);
        const Digits a = nibbles(first), b = nibbles(second);
        __m128i values_first = digit_values(a), values_second = digit_values(b);
        // Only a step with something other than a digit pays for telling white space
        // and for the portable arithmetic.
        const __m128i wrong = _mm_or_si128(not_digit(a), not_digit(b));
        if (_mm_movemask_epi8(wrong) != 0) {
            if (_mm_movemask_epi8(_mm_or_si128(is_space(first), is_space(second))) != 0)
                break;
            bad = _mm_or_si128(bad, wrong);
            values_first = stray_values(first);
            values_second = stray_values(second);
        }
        store(out + done, _mm_packus_epi16(pair_values(values_first), pair_values(values_second)));
    }
    bad_digit = bad_digit || _mm_movemask_epi8(bad) != 0;
    return done;
}

TARNEL_SSSE3 std::size_t ssse3_scan_hex(const char* text, std::size_t size,
                                        HexScan& scan) noexcept {
    __m128i bad = _mm_setzero_si128();
    std::size_t done = 0;
    for (; done + 16 <= size; done += 16) {
        const auto c = load(text + done);
        const auto space = is_space(c);
        scan.spaces += unsigned(__builtin_popcount(unsigned(_mm_movemask_epi8(space))));
        bad = _mm_or_si128(bad, _mm_andnot_si128(space, not_digit(nibbles(c))));
    }
    scan.bad_digit = scan.bad_digit || _mm_movemask_epi8(bad) != 0;
    return done;
}

}  // namespace tarnel

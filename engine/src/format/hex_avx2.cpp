// SPDX-License-Identifier: MIT
// The hex codec 32 bytes (64 digits) a step, on AVX2. The same arithmetic as the
// SSSE3 kernel, in both 128-bit lanes; the in-lane unpacks and packs are put back
// in order across lanes.
#include <immintrin.h>

#include "hex_codec.h"
#include "hex_simd.h"

#define TARNEL_AVX2 __attribute__((target("avx2")))
#define TARNEL_AVX2_INLINE inline __attribute__((always_inline, target("avx2")))

namespace tarnel {
namespace {

TARNEL_AVX2_INLINE __m256i load(const void* p) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

TARNEL_AVX2_INLINE void store(void* p, __m256i v) {
    _mm256_storeu_si256(static_cast<__m256i*>(p), v);
}

TARNEL_AVX2_INLINE __m256i in_range(__m256i c, char low, char span) {
    const __m256i offset = _mm256_sub_epi8(c, _mm256_set1_epi8(low));
    return _mm256_cmpeq_epi8(_mm256_min_epu8(offset, _mm256_set1_epi8(span)), offset);
}

TARNEL_AVX2_INLINE __m256i is_space(__m256i c) {
    return _mm256_or_si256(_mm256_cmpeq_epi8(c, _mm256_set1_epi8(' ')), in_range(c, '\t', 4));
}

// The digits split by nibble: a byte is one of 0-9 and a-f when the flags its low
// nibble allows meet those its high nibble allows (3: 0-9, 6: 1-6, none: the rest).
struct Digits {
    __m256i low, high;  // each byte's nibbles
};

TARNEL_AVX2_INLINE Digits nibbles(__m256i c) {
    const __m256i nibble = _mm256_set1_epi8(0x0f);
    return {_mm256_and_si256(c, nibble), _mm256_and_si256(_mm256_srli_epi16(c, 4), nibble)};
}

// All ones in each byte that is not one of 0-9 and a-f.
TARNEL_AVX2_INLINE __m256i not_digit(Digits d) {
    const __m256i by_low = _mm256_setr_epi8(1, 3, 3, 3, 3, 3, 3, 1, 1, 1, 0, 0, 0, 0, 0, 0,  //
                                            1, 3, 3, 3, 3, 3, 3, 1, 1, 1, 0, 0, 0, 0, 0, 0);
    const __m256i by_high = _mm256_setr_epi8(0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                             0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i both =
        _mm256_and_si256(_mm256_shuffle_epi8(by_low, d.low), _mm256_shuffle_epi8(by_high, d.high));
    return _mm256_cmpeq_epi8(both, _mm256_setzero_si256());
}

// A digit's value: its low nibble, and 9 more for a letter.
TARNEL_AVX2_INLINE __m256i digit_values(Digits d) {
    const __m256i letters = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                             0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    return _mm256_add_epi8(d.low, _mm256_shuffle_epi8(letters, d.high));
}

// Any byte's value as the portable codec takes it, so that a damaged body opens
// alike on every path: c - 87 for a-f, else c - 48.
TARNEL_AVX2_INLINE __m256i stray_values(__m256i c) {
    const __m256i letter = _mm256_and_si256(in_range(c, 'a', 5), _mm256_set1_epi8(39));
    return _mm256_sub_epi8(_mm256_sub_epi8(c, _mm256_set1_epi8(48)), letter);
}

TARNEL_AVX2_INLINE __m256i pair_values(__m256i digits) {
    const __m256i weights = _mm256_set1_epi16(0x0110);  // bytes 16, 1
    return _mm256_and_si256(_mm256_maddubs_epi16(digits, weights), _mm256_set1_epi16(0x00ff));
}

}  // namespace

TARNEL_AVX2 std::size_t avx2_hex_encode(const uint8_t* bytes, std::size_t size,
                                        char* out) noexcept {
    const __m256i digits = _mm256_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a',
                                            'b', 'c', 'd', 'e', 'f', '0', '1', '2', '3', '4', '5',
                                            '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f');
    const __m256i nibble = _mm256_set1_epi8(0x0f);
    std::size_t done = 0;
    for (; done + 32 <= size; done += 32) {
        const __m256i x = load(bytes + done);
        const __m256i high =
            _mm256_shuffle_epi8(digits, _mm256_and_si256(_mm256_srli_epi16(x, 4), nibble));
        const __m256i low = _mm256_shuffle_epi8(digits, _mm256_and_si256(x, nibble));
        // Lane 0 holds bytes 0-7 and 16-23, lane 1 bytes 8-15 and 24-31.
        const __m256i a = _mm256_unpacklo_epi8(high, low);
        const __m256i b = _mm256_unpackhi_epi8(high, low);
        store(out + 2 * done, _mm256_permute2x128_si256(a, b, 0x20));
        store(out + 2 * done + 32, _mm256_permute2x128_si256(a, b, 0x31));
    }
    return done;
}

TARNEL_AVX2 std::size_t avx2_hex_decode(const char* hex, std::size_t max_bytes, uint8_t* out,
                                        bool& bad_digit) noexcept {
    auto bad = _mm256_setzero_si256();
    std::size_t done = 0;
    for (; done + 32 <= max_bytes; done += 32) {
        const __m256i first = load(hex + 2 * done);
        const __m256i second = load(hex + 2 * done + 32);
        const Digits a = nibbles(first), b = nibbles(second);
        __m256i values_first = digit_values(a), values_second = digit_values(b);
        // Only a step with something other than a digit pays for telling white space
        // and for the portable arithmetic.
        const __m256i wrong = _mm256_or_si256(not_digit(a), not_digit(b));
        if (_mm256_movemask_epi8(wrong) != 0) {
            if (_mm256_movemask_epi8(_mm256_or_si256(is_space(first), is_space(second))) != 0)
                break;
            bad = _mm256_or_si256(bad, wrong);
            values_first = stray_values(first);
            values_second = stray_values(second);
        }
        // The pack works per lane: its 64-bit quarters come out as 0, 2, 1, 3.
        const __m256i packed =
            _mm256_packus_epi16(pair_values(values_first), pair_values(values_second));
        store(out + done, _mm256_permute4x64_epi64(packed, 0xD8));
    }
    bad_digit = bad_digit || _mm256_movemask_epi8(bad) != 0;
    return done;
}

TARNEL_AVX2 std::size_t avx2_scan_hex(const char* text, std::size_t size, HexScan& scan) noexcept {
    __m256i bad = _mm256_setzero_si256();
    std::size_t done = 0;
    for (; done + 32 <= size; done += 32) {
        const auto c = load(text + done);
        const auto space = is_space(c);
        scan.spaces += unsigned(__builtin_popcount(unsigned(_mm256_movemask_epi8(space))));
        bad = _mm256_or_si256(bad, _mm256_andnot_si256(space, not_digit(nibbles(c))));
    }
    scan.bad_digit = scan.bad_digit || _mm256_movemask_epi8(bad) != 0;
    return done;
}

}  // namespace tarnel

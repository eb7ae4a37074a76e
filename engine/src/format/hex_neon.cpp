// SPDX-License-Identifier: MIT
// The hex codec 16 bytes (32 digits) a step, on Advanced SIMD table lookups and
// interleaving loads and stores. Advanced SIMD is part of baseline 64-bit ARM, so
// this file needs no target flag; the path is still only taken where the kernel
// reports it.
#include <arm_neon.h>

#include "hex_codec.h"
#include "hex_simd.h"

namespace tarnel {
namespace {

inline const uint8_t* bytes_of(const char* p) {
    return reinterpret_cast<const uint8_t*>(p);
}

// All ones in each byte whose value lies in [low, low + span].
inline uint8x16_t in_range(uint8x16_t c, char low, uint8_t span) {
    return vcleq_u8(vsubq_u8(c, vdupq_n_u8(uint8_t(low))), vdupq_n_u8(span));
}

// Space, TAB, LF, VT, FF or CR.
inline uint8x16_t is_space(uint8x16_t c) {
    return vorrq_u8(vceqq_u8(c, vdupq_n_u8(' ')), in_range(c, '\t', 4));
}

inline uint8x16_t is_digit(uint8x16_t c) {
    return vorrq_u8(in_range(c, '0', 9), in_range(c, 'a', 5));
}

// d(c): c - 48, and 39 less again for 'a' to 'f'; wraps like the byte arithmetic.
inline uint8x16_t digit_values(uint8x16_t c) {
    const uint8x16_t letter = vandq_u8(in_range(c, 'a', 5), vdupq_n_u8(39));
    return vsubq_u8(vsubq_u8(c, vdupq_n_u8(48)), letter);
}

inline bool any(uint8x16_t mask) {
    return vmaxvq_u8(mask) != 0;
}

}  // namespace

std::size_t neon_hex_encode(const uint8_t* bytes, std::size_t size, char* out) noexcept {
    const uint8x16_t digits = vld1q_u8(bytes_of("0123456789abcdef"));
    const uint8x16_t nibble = vdupq_n_u8(0x0f);
    auto* to = reinterpret_cast<uint8_t*>(out);
    std::size_t done = 0;
    for (; done + 16 <= size; done += 16) {
        const uint8x16_t x = vld1q_u8(bytes + done);
        uint8x16x2_t pairs;
        pairs.val[0] = vqtbl1q_u8(digits, vshrq_n_u8(x, 4));
        pairs.val[1] = vqtbl1q_u8(digits, vandq_u8(x, nibble));
        vst2q_u8(to + 2 * done, pairs);  // high digit, low digit, high, low, ...
    }
    return done;
}

std::size_t neon_hex_decode(const char* hex, std::size_t max_bytes, uint8_t* out,
                            bool& bad_digit) noexcept {
    uint8x16_t bad = vdupq_n_u8(0);
    std::size_t done = 0;
    for (; done + 16 <= max_bytes; done += 16) {
        // val[0] holds the first character of each pair, val[1] the second.
        const uint8x16x2_t pairs = vld2q_u8(bytes_of(hex + 2 * done));
        if (any(vorrq_u8(is_space(pairs.val[0]), is_space(pairs.val[1]))))
            break;
        bad = vorrq_u8(bad, vmvnq_u8(vandq_u8(is_digit(pairs.val[0]), is_digit(pairs.val[1]))));
        vst1q_u8(out + done,
                 vaddq_u8(vshlq_n_u8(digit_values(pairs.val[0]), 4), digit_values(pairs.val[1])));
    }
    bad_digit = bad_digit || any(bad);
    return done;
}

std::size_t neon_scan_hex(const char* text, std::size_t size, HexScan& scan) noexcept {
    uint8x16_t bad = vdupq_n_u8(0);
    std::size_t done = 0;
    for (; done + 16 <= size; done += 16) {
        const uint8x16_t c = vld1q_u8(bytes_of(text + done));
        const uint8x16_t space = is_space(c);
        scan.spaces += vaddvq_u8(vandq_u8(space, vdupq_n_u8(1)));  // at most 16
        bad = vorrq_u8(bad, vmvnq_u8(vorrq_u8(space, is_digit(c))));
    }
    scan.bad_digit = scan.bad_digit || any(bad);
    return done;
}

}  // namespace tarnel

// SPDX-License-Identifier: MIT
// Rijndael-256 on 512-bit AES instructions: the 256-bit kernel's arrangement with
// four blocks to a pair of registers, one holding their low halves and the other
// their high halves. AVX-512 adds a blend under a mask register, which costs less
// than the variable blend, and twice the registers, so more blocks stay in flight.
// Fewer than a group's blocks at the end go to the 256-bit kernel.
#include <immintrin.h>

#include "rijndael_accel.h"
#include "rijndael_lanes.h"

#define TARNEL_VAES512 __attribute__((target("aes,vaes,avx2,avx512f,avx512bw")))
#define TARNEL_VAES512_INLINE \
    inline __attribute__((always_inline, target("aes,vaes,avx2,avx512f,avx512bw")))

namespace tarnel {
namespace {

constexpr int kLastRound = int(kRijndaelRounds);
constexpr std::size_t kQuadsInFlight = 4;  // 16 blocks: 8 state registers of 32
constexpr std::size_t kGroupBlocks = 4 * kQuadsInFlight;

// The zero-masked form under a full mask: GCC 12's plain broadcast warns of an
// undefined source that it never reads.
TARNEL_VAES512_INLINE __m512i four_lanes(const uint8_t* p) {
    return _mm512_maskz_broadcast_i32x4(__mmask16(0xffff),
                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Bit i set where byte i % 16 of the 16-byte pattern is 0xff.
constexpr __mmask64 lane_mask(const uint8_t (&pattern)[16]) {
    __mmask64 mask = 0;
    for (int i = 0; i < 64; ++i) {
        if (pattern[i % 16] == 0xff)
            mask |= __mmask64(1) << i;
    }
    return mask;
}

template <bool Decrypt>
TARNEL_VAES512_INLINE __m512i round(__m512i state, __m512i key, bool last) {
    if (last)
        return Decrypt ? _mm512_aesdeclast_epi128(state, key)
                       : _mm512_aesenclast_epi128(state, key);
    return Decrypt ? _mm512_aesdec_epi128(state, key) : _mm512_aesenc_epi128(state, key);
}

// kQuadsInFlight groups of four blocks through all rounds.
template <bool Decrypt>
TARNEL_VAES512_INLINE void run_group(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst) {
    constexpr __mmask64 blend = lane_mask(Decrypt ? lanes::kDecryptBlend : lanes::kEncryptBlend);
    const __m512i shuffle = four_lanes(Decrypt ? lanes::kDecryptShuffle : lanes::kEncryptShuffle);
    // Quadwords of two registers (0-7 and 8-15) that gather low halves, high
    // halves, and put the blocks back together.
    const __m512i take_lo = _mm512_setr_epi64(0, 1, 4, 5, 8, 9, 12, 13);
    const __m512i take_hi = _mm512_setr_epi64(2, 3, 6, 7, 10, 11, 14, 15);
    const __m512i first_pair = _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11);
    const __m512i second_pair = _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15);
    __m512i lo[kQuadsInFlight], hi[kQuadsInFlight];
    __m512i key_lo = four_lanes(keys.round[0]), key_hi = four_lanes(keys.round[0] + 16);
#pragma GCC unroll 8
    for (std::size_t i = 0; i < kQuadsInFlight; ++i) {
        const __m512i first = _mm512_loadu_si512(src + 128 * i);
        const __m512i second = _mm512_loadu_si512(src + 128 * i + 64);
        lo[i] = _mm512_xor_si512(_mm512_permutex2var_epi64(first, take_lo, second), key_lo);
        hi[i] = _mm512_xor_si512(_mm512_permutex2var_epi64(first, take_hi, second), key_hi);
    }
    for (int r = 1; r <= kLastRound; ++r) {
        key_lo = four_lanes(keys.round[r]);
        key_hi = four_lanes(keys.round[r] + 16);
        const bool last = r == kLastRound;
#pragma GCC unroll 8
        for (std::size_t i = 0; i < kQuadsInFlight; ++i) {
            const __m512i a =
                _mm512_shuffle_epi8(_mm512_mask_blend_epi8(blend, lo[i], hi[i]), shuffle);
            const __m512i b =
                _mm512_shuffle_epi8(_mm512_mask_blend_epi8(blend, hi[i], lo[i]), shuffle);
            lo[i] = round<Decrypt>(a, key_lo, last);
            hi[i] = round<Decrypt>(b, key_hi, last);
        }
    }
#pragma GCC unroll 8
    for (std::size_t i = 0; i < kQuadsInFlight; ++i) {
        _mm512_storeu_si512(dst + 128 * i, _mm512_permutex2var_epi64(lo[i], first_pair, hi[i]));
        _mm512_storeu_si512(dst + 128 * i + 64,
                            _mm512_permutex2var_epi64(lo[i], second_pair, hi[i]));
    }
}

template <bool Decrypt>
TARNEL_VAES512_INLINE void run_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                                      std::size_t blocks) {
    std::size_t b = 0;
    for (; b + kGroupBlocks <= blocks; b += kGroupBlocks)
        run_group<Decrypt>(keys, src + 32 * b, dst + 32 * b);
    (Decrypt ? vaes_decrypt_blocks : vaes_encrypt_blocks)(keys, src + 32 * b, dst + 32 * b,
                                                          blocks - b);
}

}  // namespace

TARNEL_VAES512 void vaes512_encrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src,
                                           uint8_t* dst, std::size_t blocks) noexcept {
    run_blocks<false>(keys, src, dst, blocks);
}

TARNEL_VAES512 void vaes512_decrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src,
                                           uint8_t* dst, std::size_t blocks) noexcept {
    run_blocks<true>(keys, src, dst, blocks);
}

}  // namespace tarnel

// SPDX-License-Identifier: MIT
// Rijndael-256 on 128-bit AES instructions: each block is two registers, and four
// blocks go through every round together so that the round instructions overlap.
#include <immintrin.h>

#include <cstring>

#include "rijndael_accel.h"
#include "rijndael_lanes.h"

#define TARNEL_AESNI __attribute__((target("aes,sse4.1")))
#define TARNEL_AESNI_INLINE inline __attribute__((always_inline, target("aes,sse4.1")))

namespace tarnel {
namespace {

constexpr int kLastRound = int(kRijndaelRounds);
constexpr std::size_t kInFlight = 4;

TARNEL_AESNI_INLINE __m128i load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

TARNEL_AESNI_INLINE void store(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// N blocks through all rounds; Decrypt picks the inverse byte moves and rounds.
template <bool Decrypt, std::size_t N>
TARNEL_AESNI_INLINE void run_group(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst) {
    const __m128i blend = load(Decrypt ? lanes::kDecryptBlend : lanes::kEncryptBlend);
    const __m128i shuffle = load(Decrypt ? lanes::kDecryptShuffle : lanes::kEncryptShuffle);
    __m128i lo[N], hi[N];
    __m128i key_lo = load(keys.round[0]), key_hi = load(keys.round[0] + 16);
#pragma GCC unroll 8
    for (std::size_t i = 0; i < N; ++i) {
        lo[i] = _mm_xor_si128(load(src + 32 * i), key_lo);
        hi[i] = _mm_xor_si128(load(src + 32 * i + 16), key_hi);
    }
    for (int r = 1; r <= kLastRound; ++r) {
        key_lo = load(keys.round[r]);
        key_hi = load(keys.round[r] + 16);
#pragma GCC unroll 8
        for (std::size_t i = 0; i < N; ++i) {
            const __m128i a = _mm_shuffle_epi8(_mm_blendv_epi8(lo[i], hi[i], blend), shuffle);
            const __m128i b = _mm_shuffle_epi8(_mm_blendv_epi8(hi[i], lo[i], blend), shuffle);
            if (r == kLastRound) {
                lo[i] = Decrypt ? _mm_aesdeclast_si128(a, key_lo) : _mm_aesenclast_si128(a, key_lo);
                hi[i] = Decrypt ? _mm_aesdeclast_si128(b, key_hi) : _mm_aesenclast_si128(b, key_hi);
            } else {
                lo[i] = Decrypt ? _mm_aesdec_si128(a, key_lo) : _mm_aesenc_si128(a, key_lo);
                hi[i] = Decrypt ? _mm_aesdec_si128(b, key_hi) : _mm_aesenc_si128(b, key_hi);
            }
        }
    }
#pragma GCC unroll 8
    for (std::size_t i = 0; i < N; ++i) {
        store(dst + 32 * i, lo[i]);
        store(dst + 32 * i + 16, hi[i]);
    }
}

template <bool Decrypt>
TARNEL_AESNI_INLINE void run_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                                    std::size_t blocks) {
    std::size_t b = 0;
    for (; b + kInFlight <= blocks; b += kInFlight)
        run_group<Decrypt, kInFlight>(keys, src + 32 * b, dst + 32 * b);
    for (; b < blocks; ++b)
        run_group<Decrypt, 1>(keys, src + 32 * b, dst + 32 * b);
}

}  // namespace

void accel_encrypt_keys(const RijndaelContext& ctx, AccelRoundKeys& keys) noexcept {
    std::memcpy(keys.round, ctx.enc_schedule, sizeof keys.round);
}

TARNEL_AESNI void aesni_decrypt_keys(const RijndaelContext& ctx, AccelRoundKeys& keys) noexcept {
    const auto* enc = reinterpret_cast<const uint8_t*>(ctx.enc_schedule);
    for (int r = 0; r <= kLastRound; ++r) {
        const uint8_t* from = enc + 32 * (kLastRound - r);
        __m128i lo = load(from), hi = load(from + 16);
        if (r != 0 && r != kLastRound) {
            lo = _mm_aesimc_si128(lo);
            hi = _mm_aesimc_si128(hi);
        }
        store(keys.round[r], lo);
        store(keys.round[r] + 16, hi);
    }
}

TARNEL_AESNI void aesni_encrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                                       std::size_t blocks) noexcept {
    run_blocks<false>(keys, src, dst, blocks);
}

TARNEL_AESNI void aesni_decrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                                       std::size_t blocks) noexcept {
    run_blocks<true>(keys, src, dst, blocks);
}

}  // namespace tarnel

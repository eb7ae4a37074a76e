// SPDX-License-Identifier: MIT
// Rijndael-256 on 256-bit AES instructions. Two blocks share a pair of registers:
// one holds both low halves, the other both high halves, so the blend between the
// halves of a block stays inside each 128-bit lane and needs no lane crossing in
// the rounds; only loading and storing regroup the halves. Eight blocks go through
// every round together so that the round instructions overlap.
#include <immintrin.h>

#include "rijndael_accel.h"
#include "rijndael_lanes.h"

#define TARNEL_VAES __attribute__((target("aes,vaes,avx2")))
#define TARNEL_VAES_INLINE inline __attribute__((always_inline, target("aes,vaes,avx2")))

namespace tarnel {
namespace {

constexpr int kLastRound = int(kRijndaelRounds);
constexpr std::size_t kPairsInFlight = 4;

TARNEL_VAES_INLINE __m256i load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

TARNEL_VAES_INLINE void store(uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// The same 16 bytes in both lanes.
TARNEL_VAES_INLINE __m256i both_lanes(const uint8_t* p) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

template <bool Decrypt>
TARNEL_VAES_INLINE __m256i round(__m256i state, __m256i key, bool last) {
    if (last)
        return Decrypt ? _mm256_aesdeclast_epi128(state, key)
                       : _mm256_aesenclast_epi128(state, key);
    return Decrypt ? _mm256_aesdec_epi128(state, key) : _mm256_aesenc_epi128(state, key);
}

// N pairs of blocks through all rounds. `pairs` blocks are read from src; with
// Single, only the first block of the last pair is real and only it is stored.
template <bool Decrypt, std::size_t N, bool Single = false>
TARNEL_VAES_INLINE void run_group(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst) {
    const __m256i blend = both_lanes(Decrypt ? lanes::kDecryptBlend : lanes::kEncryptBlend);
    const __m256i shuffle = both_lanes(Decrypt ? lanes::kDecryptShuffle : lanes::kEncryptShuffle);
    __m256i lo[N], hi[N];
    __m256i key_lo = both_lanes(keys.round[0]), key_hi = both_lanes(keys.round[0] + 16);
#pragma GCC unroll 8
    for (std::size_t i = 0; i < N; ++i) {
        const __m256i first = load(src + 64 * i);
        const __m256i second = Single ? first : load(src + 64 * i + 32);
        lo[i] = _mm256_xor_si256(_mm256_permute2x128_si256(first, second, 0x20), key_lo);
        hi[i] = _mm256_xor_si256(_mm256_permute2x128_si256(first, second, 0x31), key_hi);
    }
    for (int r = 1; r <= kLastRound; ++r) {
        key_lo = both_lanes(keys.round[r]);
        key_hi = both_lanes(keys.round[r] + 16);
        const bool last = r == kLastRound;
#pragma GCC unroll 8
        for (std::size_t i = 0; i < N; ++i) {
            const __m256i a = _mm256_shuffle_epi8(_mm256_blendv_epi8(lo[i], hi[i], blend), shuffle);
            const __m256i b = _mm256_shuffle_epi8(_mm256_blendv_epi8(hi[i], lo[i], blend), shuffle);
            lo[i] = round<Decrypt>(a, key_lo, last);
            hi[i] = round<Decrypt>(b, key_hi, last);
        }
    }
#pragma GCC unroll 8
    for (std::size_t i = 0; i < N; ++i) {
        store(dst + 64 * i, _mm256_permute2x128_si256(lo[i], hi[i], 0x20));
        if (!Single)
            store(dst + 64 * i + 32, _mm256_permute2x128_si256(lo[i], hi[i], 0x31));
    }
}

template <bool Decrypt>
TARNEL_VAES_INLINE void run_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                                   std::size_t blocks) {
    std::size_t b = 0;
    for (; b + 2 * kPairsInFlight <= blocks; b += 2 * kPairsInFlight)
        run_group<Decrypt, kPairsInFlight>(keys, src + 32 * b, dst + 32 * b);
    for (; b + 2 <= blocks; b += 2)
        run_group<Decrypt, 1>(keys, src + 32 * b, dst + 32 * b);
    if (b < blocks)
        run_group<Decrypt, 1, true>(keys, src + 32 * b, dst + 32 * b);
}

}  // namespace

TARNEL_VAES void vaes_encrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                                     std::size_t blocks) noexcept {
    run_blocks<false>(keys, src, dst, blocks);
}

TARNEL_VAES void vaes_decrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                                     std::size_t blocks) noexcept {
    run_blocks<true>(keys, src, dst, blocks);
}

}  // namespace tarnel

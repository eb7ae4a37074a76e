// SPDX-License-Identifier: MIT
// Rijndael-256 on 64-bit ARM's AES instructions: each block is two registers, and
// four blocks go through every round together so that the round instructions
// overlap.
//
// The row shifts are mended as on x86-64 (rijndael_lanes.h): before each round one
// two-register table lookup per half gathers the bytes that the AES row shift will
// carry to their Rijndael-256 places. What differs is where the key goes. AESE adds
// its key before SubBytes and ShiftRows, so a round reads
//     state = MixColumns(AESE(X(state), X(k))),  X the byte exchange,
// with k the key that x86 would add at the end of the round before; the exchange
// moves the key's bytes as it moves the state's. So keys.round[r] holds X(k[r]) for
// r = 0 to 13, used by round r + 1, and the last key, k[14], is added unmoved after
// the last AESE. Decryption is the same with AESD, AESIMC, the inverse exchange
// and the keys of the equivalent inverse cipher (InvMixColumns on keys 1 to 13).
//
// Built with the crypto extension for this file alone (engine/CMakeLists.txt), so
// the rest of the engine stays baseline armv8-a.
#include <arm_neon.h>

#include "rijndael_accel.h"
#include "rijndael_lanes.h"

namespace tarnel {
namespace {

constexpr int kLastRound = int(kRijndaelRounds);
constexpr std::size_t kInFlight = 4;

// Table lookup indexes over the pair (low half, high half): 0-15 take a byte of
// the low half, 16-31 one of the high half. Derived from the blend and shuffle of
// the x86 kernels, which pick from the other half where the blend says so.
struct Exchange {
    uint8_t to_lo[16];
    uint8_t to_hi[16];
};

constexpr Exchange make_exchange(const uint8_t (&blend)[16], const uint8_t (&shuffle)[16]) {
    Exchange e{};
    for (int i = 0; i < 16; ++i) {
        const uint8_t from = shuffle[i];
        const bool other = blend[from] != 0;
        e.to_lo[i] = uint8_t(from + (other ? 16 : 0));
        e.to_hi[i] = uint8_t(from + (other ? 0 : 16));
    }
    return e;
}

constexpr Exchange kEncryptExchange = make_exchange(lanes::kEncryptBlend, lanes::kEncryptShuffle);
constexpr Exchange kDecryptExchange = make_exchange(lanes::kDecryptBlend, lanes::kDecryptShuffle);

// Each index names each of the 32 bytes once: the exchange loses nothing.
constexpr bool is_permutation(const Exchange& e) {
    bool seen[32] = {};
    for (int i = 0; i < 16; ++i)
        seen[e.to_lo[i]] = seen[e.to_hi[i]] = true;
    for (const bool s : seen) {
        if (!s)
            return false;
    }
    return true;
}
static_assert(is_permutation(kEncryptExchange) && is_permutation(kDecryptExchange));

struct Half {
    uint8x16_t lo, hi;
};

inline Half load(const uint8_t* p) {
    return {vld1q_u8(p), vld1q_u8(p + 16)};
}

inline void store(uint8_t* p, Half h) {
    vst1q_u8(p, h.lo);
    vst1q_u8(p + 16, h.hi);
}

inline Half exchange(Half h, uint8x16_t to_lo, uint8x16_t to_hi) {
    const uint8x16x2_t both = {{h.lo, h.hi}};
    return {vqtbl2q_u8(both, to_lo), vqtbl2q_u8(both, to_hi)};
}

// The keys as described at the top, for either direction, from the encryption
// schedule (which rijndael_set_key always builds).
void make_keys(const RijndaelContext& ctx, bool decrypt, AccelRoundKeys& keys) noexcept {
    const Exchange& e = decrypt ? kDecryptExchange : kEncryptExchange;
    const uint8x16_t to_lo = vld1q_u8(e.to_lo), to_hi = vld1q_u8(e.to_hi);
    const auto* enc = reinterpret_cast<const uint8_t*>(ctx.enc_schedule);
    for (int r = 0; r <= kLastRound; ++r) {
        Half k = load(enc + 32 * (decrypt ? kLastRound - r : r));
        if (decrypt && r != 0 && r != kLastRound)
            k = {vaesimcq_u8(k.lo), vaesimcq_u8(k.hi)};
        store(keys.round[r], r == kLastRound ? k : exchange(k, to_lo, to_hi));
    }
}

// N blocks through all rounds; Decrypt picks the inverse exchange and rounds.
template <bool Decrypt, std::size_t N>
inline __attribute__((always_inline)) void run_group(const AccelRoundKeys& keys, const uint8_t* src,
                                                     uint8_t* dst) {
    const Exchange& e = Decrypt ? kDecryptExchange : kEncryptExchange;
    const uint8x16_t to_lo = vld1q_u8(e.to_lo), to_hi = vld1q_u8(e.to_hi);
    Half s[N];
#pragma GCC unroll 8
    for (std::size_t i = 0; i < N; ++i)
        s[i] = load(src + 32 * i);
    for (int r = 0; r < kLastRound; ++r) {
        const Half k = load(keys.round[r]);
        const bool mix = r + 1 < kLastRound;
#pragma GCC unroll 8
        for (std::size_t i = 0; i < N; ++i) {
            const Half x = exchange(s[i], to_lo, to_hi);
            if (Decrypt) {
                s[i] = {vaesdq_u8(x.lo, k.lo), vaesdq_u8(x.hi, k.hi)};
                if (mix)
                    s[i] = {vaesimcq_u8(s[i].lo), vaesimcq_u8(s[i].hi)};
            } else {
                s[i] = {vaeseq_u8(x.lo, k.lo), vaeseq_u8(x.hi, k.hi)};
                if (mix)
                    s[i] = {vaesmcq_u8(s[i].lo), vaesmcq_u8(s[i].hi)};
            }
        }
    }
    const Half last = load(keys.round[kLastRound]);
#pragma GCC unroll 8
    for (std::size_t i = 0; i < N; ++i)
        store(dst + 32 * i, {veorq_u8(s[i].lo, last.lo), veorq_u8(s[i].hi, last.hi)});
}

template <bool Decrypt>
void run_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst, std::size_t blocks) {
    std::size_t b = 0;
    for (; b + kInFlight <= blocks; b += kInFlight)
        run_group<Decrypt, kInFlight>(keys, src + 32 * b, dst + 32 * b);
    for (; b < blocks; ++b)
        run_group<Decrypt, 1>(keys, src + 32 * b, dst + 32 * b);
}

}  // namespace

void armv8_encrypt_keys(const RijndaelContext& ctx, AccelRoundKeys& keys) noexcept {
    make_keys(ctx, false, keys);
}

void armv8_decrypt_keys(const RijndaelContext& ctx, AccelRoundKeys& keys) noexcept {
    make_keys(ctx, true, keys);
}

void armv8_encrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                          std::size_t blocks) noexcept {
    run_blocks<false>(keys, src, dst, blocks);
}

void armv8_decrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                          std::size_t blocks) noexcept {
    run_blocks<true>(keys, src, dst, blocks);
}

}  // namespace tarnel

// SPDX-License-Identifier: MIT
// Rijndael-256 on 64-bit ARM's AES instructions: each block is two registers, and
// four blocks go through every round together so that the round instructions
// overlap.
//
// The row shifts are mended as on x86-64 (rijndael_lanes.h): before each round two
// table lookups per half (TBL, then TBX from the other half) gather the bytes that
// the AES row shift will carry to their Rijndael-256 places. What differs is where
// the key goes. AESE adds its key before SubBytes and ShiftRows, so a round reads
//     state = MixColumns(AESE(X(state), X(k))),  X the byte exchange,
// with k the key that x86 would add at the end of the round before: X is a byte
// permutation, so X(state ^ k) = X(state) ^ X(k), and the key's bytes move as the
// state's do. So keys.round[r] holds X(k[r]) for r = 0 to 13, used by round r + 1,
// and the last key, k[14], is added unmoved after the last AESE. Decryption is the
// same with AESD, AESIMC, the inverse exchange and the keys of the equivalent
// inverse cipher (k[14 - r], with InvMixColumns on r = 1 to 13).
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

// The exchange of the x86 kernels: output byte i of a half is byte j = shuffle[i]
// of the other half where blend[j] says so, of the same half otherwise. Here a
// table lookup in the same half fills the first kind and leaves zeros, and a
// lookup-with-keep in the other half (TBX leaves a byte whose index is out of
// range) fills the rest. Two single-register lookups, unlike one over both halves,
// need no pair of adjacent registers, which the compiler would copy into place.
struct Exchange {
    uint8_t own[16];    ///< index into the same half, or 0xff
    uint8_t other[16];  ///< index into the other half, or 0xff
};

constexpr Exchange make_exchange(const uint8_t (&blend)[16], const uint8_t (&shuffle)[16]) {
    Exchange e{};
    for (int i = 0; i < 16; ++i) {
        const uint8_t j = shuffle[i];
        e.own[i] = blend[j] != 0 ? 0xff : j;
        e.other[i] = blend[j] != 0 ? j : 0xff;
    }
    return e;
}

constexpr Exchange kEncryptExchange = make_exchange(lanes::kEncryptBlend, lanes::kEncryptShuffle);
constexpr Exchange kDecryptExchange = make_exchange(lanes::kDecryptBlend, lanes::kDecryptShuffle);

// Each output byte comes from exactly one place, and each input byte goes to one:
// the exchange loses nothing.
constexpr bool is_permutation(const Exchange& e) {
    bool seen[16] = {};
    for (int i = 0; i < 16; ++i) {
        if ((e.own[i] < 16) == (e.other[i] < 16))
            return false;
        seen[e.own[i] < 16 ? e.own[i] : e.other[i]] = true;
    }
    for (const bool s : seen) {
        if (!s)
            return false;
    }
    return true;
}
static_assert(is_permutation(kEncryptExchange) && is_permutation(kDecryptExchange));

struct Block {
    uint8x16_t lo, hi;
};

inline Block load(const uint8_t* p) {
    return {vld1q_u8(p), vld1q_u8(p + 16)};
}

inline void store(uint8_t* p, Block b) {
    vst1q_u8(p, b.lo);
    vst1q_u8(p + 16, b.hi);
}

struct ExchangeRegisters {
    uint8x16_t own, other;
    explicit ExchangeRegisters(const Exchange& e)
        : own(vld1q_u8(e.own)), other(vld1q_u8(e.other)) {}
};

inline Block exchange(Block b, const ExchangeRegisters& x) {
    return {vqtbx1q_u8(vqtbl1q_u8(b.lo, x.own), b.hi, x.other),
            vqtbx1q_u8(vqtbl1q_u8(b.hi, x.own), b.lo, x.other)};
}

// The keys as described at the top, for either direction, from the encryption
// schedule (which rijndael_set_key always builds).
void make_keys(const RijndaelContext& ctx, bool decrypt, AccelRoundKeys& keys) noexcept {
    const ExchangeRegisters x(decrypt ? kDecryptExchange : kEncryptExchange);
    const auto* enc = reinterpret_cast<const uint8_t*>(ctx.enc_schedule);
    for (int r = 0; r <= kLastRound; ++r) {
        Block k = load(enc + 32 * (decrypt ? kLastRound - r : r));
        if (decrypt && r != 0 && r != kLastRound)
            k = {vaesimcq_u8(k.lo), vaesimcq_u8(k.hi)};
        store(keys.round[r], r == kLastRound ? k : exchange(k, x));
    }
}

template <bool Decrypt>
inline uint8x16_t round(uint8x16_t state, uint8x16_t key, bool mix) {
    if (Decrypt) {
        const uint8x16_t v = vaesdq_u8(state, key);
        return mix ? vaesimcq_u8(v) : v;
    }
    const uint8x16_t v = vaeseq_u8(state, key);
    return mix ? vaesmcq_u8(v) : v;
}

// N blocks through all rounds; Decrypt picks the inverse exchange and rounds.
template <bool Decrypt, std::size_t N>
inline __attribute__((always_inline)) void run_group(const AccelRoundKeys& keys, const uint8_t* src,
                                                     uint8_t* dst) {
    const ExchangeRegisters x(Decrypt ? kDecryptExchange : kEncryptExchange);
    Block s[N];
#pragma GCC unroll 8
    for (std::size_t i = 0; i < N; ++i) {
        s[i] = load(src + 32 * i);
    }
    // Unrolled, so that no round's registers must end where the next one's began.
#pragma GCC unroll 14
    for (int r = 0; r < kLastRound; ++r) {
        const Block k = load(keys.round[r]);
        const bool mix = r + 1 < kLastRound;
#pragma GCC unroll 8
        for (std::size_t i = 0; i < N; ++i) {
            const Block e = exchange(s[i], x);
            s[i] = {round<Decrypt>(e.lo, k.lo, mix), round<Decrypt>(e.hi, k.hi, mix)};
        }
    }
    const Block last = load(keys.round[kLastRound]);
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

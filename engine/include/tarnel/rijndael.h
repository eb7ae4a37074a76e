// SPDX-License-Identifier: MIT
// Rijndael with a 256-bit block (Nb = 8) and a 128-, 192- or 256-bit key, 14 rounds.
//
// Three plain functions over a context that the caller owns. The cipher allocates
// nothing, keeps no state outside the context and the constant tables, and never
// clears or frees a context; wiping one before release is the caller's job.
// Every function returns 1 for success and 0 for refusal.
#pragma once

#include <cstdint>

namespace tarnel {

/// Direction bits of RijndaelContext::flags and of rijndael_set_key's direction.
enum : unsigned {
    RIJNDAEL_ENCRYPT = 1,  ///< enc_schedule is ready; encryption allowed
    RIJNDAEL_DECRYPT = 2,  ///< dec_schedule is ready; decryption allowed
};

inline constexpr unsigned kRijndaelBlockBytes = 32;
inline constexpr unsigned kRijndaelRounds = 14;

/// The key schedule record. A new context must have `flags` set to 0 before the
/// first call, so that it refuses both directions until it is keyed.
struct RijndaelContext {
    uint32_t key_words;          ///< Nk: 4, 6 or 8
    uint32_t rounds;             ///< Nr: always 14
    uint32_t enc_schedule[128];  ///< round key r is words 8r..8r+7; words 120..127 unused
    uint32_t dec_schedule[128];  ///< round key r is enc round key Nr - r, untransformed
    uint8_t flags;               ///< bits 0-1 as above; bits 2-7 are left untouched
};

/// The Rijndael S-box and its inverse.
extern const uint8_t rijndael_sbox[256];
extern const uint8_t rijndael_inv_sbox[256];

/// Round constants x^0 .. x^28 in GF(2^8), one per word in its least significant
/// byte. A 16-byte key uses all 29, a 24-byte key 19, a 32-byte key 14.
extern const uint32_t rijndael_rcon[29];

/// Builds the schedules of `ctx` for `key` (`key_length` bytes, read only).
///
/// Accepts key lengths 16, 24 and 32 and a direction with bit 0, bit 1 or both set
/// (other bits are ignored, so 5 acts as 1 and 7 as 3). On success the direction
/// bits of `flags` become those of `direction`, `key_words` and `rounds` are set,
/// `enc_schedule` is always rebuilt and `dec_schedule` only when decryption is
/// asked for; returns 1.
///
/// Any other length (0 included) or a direction without bit 0 or 1 clears both
/// direction bits, leaves every other field as it was, and returns 0.
int16_t rijndael_set_key(const uint8_t* key, uint32_t key_length, unsigned direction,
                         RijndaelContext* ctx);

/// Encrypts the 32-byte block at `src` into `dst` (which may be `src` or overlap
/// it) and returns 1. Returns 0 without writing when `ctx` is not keyed for
/// encryption. Never changes `ctx`.
int16_t rijndael_encrypt_block(const uint8_t* src, uint8_t* dst, const RijndaelContext* ctx);

/// Decrypts like rijndael_encrypt_block encrypts, gated by the decryption bit.
int16_t rijndael_decrypt_block(const uint8_t* src, uint8_t* dst, const RijndaelContext* ctx);

}  // namespace tarnel

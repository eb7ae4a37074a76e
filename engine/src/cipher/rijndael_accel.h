// SPDX-License-Identifier: MIT
// Rijndael-256 on the processor's AES round instructions.
//
// An AES round works on 128 bits and shifts the rows of a four-column state by
// 0, 1, 2 and 3; a 256-bit Rijndael block is two such halves whose rows shift by
// 0, 1, 3 and 4 across all eight columns. Before each round, one blend per half
// takes the bytes that must cross to the other half, and one byte shuffle puts
// every byte where the AES row shift will carry it to its Rijndael place. The
// S-box, MixColumns and the key addition are the same in both ciphers.
//
// Each x86-64 kernel is compiled for its instruction set through function
// attributes, the 64-bit ARM one with a flag on its file alone, so the rest of the
// engine stays baseline; callers check cpu_features() first.
// Source and destination are the same buffer or do not overlap.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tarnel/rijndael.h"

namespace tarnel {

/// The 15 round keys in the order the rounds use them, 32 bytes each: columns
/// 0 to 3 (the low half of the state), then columns 4 to 7. The 64-bit ARM kernel
/// keeps its own arrangement of them (rijndael_armv8.cpp).
struct AccelRoundKeys {
    alignas(32) uint8_t round[kRijndaelRounds + 1][32];
};

/// Encryption keys: enc_schedule as it is. `ctx` must be keyed (any direction).
void accel_encrypt_keys(const RijndaelContext& ctx, AccelRoundKeys& keys) noexcept;

/// Decryption keys: enc_schedule backwards, with InvMixColumns applied to rounds 1
/// to 13, as the AES decryption instruction expects. Needs cpu_features().aes.
void aesni_decrypt_keys(const RijndaelContext& ctx, AccelRoundKeys& keys) noexcept;

/// ECB over `blocks` 32-byte blocks. Need cpu_features().aes.
void aesni_encrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                          std::size_t blocks) noexcept;
void aesni_decrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                          std::size_t blocks) noexcept;

/// The same with two blocks in each 256-bit instruction. Need cpu_features().vaes.
void vaes_encrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                         std::size_t blocks) noexcept;
void vaes_decrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                         std::size_t blocks) noexcept;

/// The same with four blocks in each 512-bit instruction. Need cpu_features().vaes512.
void vaes512_encrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                            std::size_t blocks) noexcept;
void vaes512_decrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                            std::size_t blocks) noexcept;

/// 64-bit ARM: the keys arranged for AESE (encryption) or AESD (decryption), from
/// `ctx`'s encryption schedule. Need cpu_features().armv8_aes.
void armv8_encrypt_keys(const RijndaelContext& ctx, AccelRoundKeys& keys) noexcept;
void armv8_decrypt_keys(const RijndaelContext& ctx, AccelRoundKeys& keys) noexcept;

/// ECB over `blocks` 32-byte blocks with keys from the functions above. Need
/// cpu_features().armv8_aes.
void armv8_encrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                          std::size_t blocks) noexcept;
void armv8_decrypt_blocks(const AccelRoundKeys& keys, const uint8_t* src, uint8_t* dst,
                          std::size_t blocks) noexcept;

}  // namespace tarnel

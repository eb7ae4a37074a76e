// SPDX-License-Identifier: MIT
// Which implementation of the block cipher the engine runs. Every path gives the
// same bytes; the portable one is the reference and runs everywhere.
#pragma once

namespace tarnel {

enum class CipherPath {
    Portable,  ///< rijndael_encrypt_block / rijndael_decrypt_block, one block at a time
    AesNi,     ///< AES round instructions on the two 128-bit halves of a block
    Vaes,      ///< the same on 256-bit vectors: two blocks per instruction
    Vaes512,   ///< the same on 512-bit vectors: four blocks per instruction
    Armv8Aes,  ///< 64-bit ARM's AES instructions on the two 128-bit halves of a block
};

/// Every path, for tests and benchmarks that run each one the processor has.
inline constexpr CipherPath kCipherPaths[] = {CipherPath::Portable, CipherPath::AesNi,
                                              CipherPath::Vaes, CipherPath::Vaes512,
                                              CipherPath::Armv8Aes};

/// True when this processor can run `path`. Portable always can.
bool cipher_path_available(CipherPath path) noexcept;

/// The path that ciphers made from now on use: the one forced by set_cipher_path,
/// otherwise the fastest available.
CipherPath cipher_path() noexcept;

/// For tests and benchmarks: makes later ciphers use `path`. Returns false, and
/// changes nothing, when the processor lacks it. Not for the shipped programs,
/// which always take the automatic choice.
bool set_cipher_path(CipherPath path) noexcept;

/// Back to the automatic choice.
void reset_cipher_path() noexcept;

/// "portable", "aes-ni", "vaes", "vaes-512" or "armv8-aes", for messages and
/// benchmark names.
const char* cipher_path_name(CipherPath path) noexcept;

}  // namespace tarnel

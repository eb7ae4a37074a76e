// SPDX-License-Identifier: MIT
// Rijndael-256 over runs of independent blocks, keyed once, on the fastest path
// the processor offers (or the one a test forced; see cipher_path.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "cipher_path.h"
#include "rijndael_accel.h"
#include "tarnel/rijndael.h"

namespace tarnel {

class EcbCipher {
  public:
    enum class Direction { Encrypt, Decrypt };

    /// Keys the cipher with `key` (16, 24 or 32 bytes) for `direction`, on the path
    /// that cipher_path() names now. Another key length leaves it unkeyed: ok() is
    /// false and run() writes nothing.
    EcbCipher(const uint8_t* key, uint32_t key_length, Direction direction) noexcept;
    /// Unkeyed until set_key() is called.
    EcbCipher() noexcept { m_ctx.flags = 0; }
    /// Keys (or keys again) as the constructor does; returns ok().
    bool set_key(const uint8_t* key, uint32_t key_length, Direction direction) noexcept;
    /// Wipes the schedules.
    ~EcbCipher();
    EcbCipher(const EcbCipher&) = delete;
    EcbCipher& operator=(const EcbCipher&) = delete;

    bool ok() const noexcept { return m_ok; }
    CipherPath path() const noexcept { return m_path; }

    /// Encrypts or decrypts `blocks` 32-byte blocks from `src` to `dst`, which is
    /// `src` itself or does not overlap it. Safe to call from several threads at once.
    void run(const uint8_t* src, uint8_t* dst, std::size_t blocks) const noexcept;

  private:
    RijndaelContext m_ctx;
    AccelRoundKeys m_keys;
    CipherPath m_path = CipherPath::Portable;
    Direction m_direction = Direction::Encrypt;
    bool m_ok = false;
};

}  // namespace tarnel

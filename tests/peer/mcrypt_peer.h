// SPDX-License-Identifier: MIT
// libmcrypt's "rijndael-256" in ECB mode, as an independent peer for the block
// cipher: the tests compare against it and the benchmarks race it.
#pragma once

#include <mcrypt.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace tarnel::peer {

/// One open libmcrypt module. Keyed on construction; Rekey re-initialises it.
class McryptEcb {
  public:
    McryptEcb(const uint8_t* key, int key_length) {
        // The module names are non-const in libmcrypt's C interface only.
        char algorithm[] = "rijndael-256";
        char mode[] = "ecb";
        m_td = mcrypt_module_open(algorithm, nullptr, mode, nullptr);
        if (m_td == MCRYPT_FAILED) {
            throw std::runtime_error("mcrypt_module_open(rijndael-256, ecb) failed");
        }
        if (!Init(key, key_length)) {
            mcrypt_module_close(m_td);
            throw std::runtime_error("mcrypt_generic_init failed");
        }
    }
    ~McryptEcb() {
        mcrypt_generic_deinit(m_td);
        mcrypt_module_close(m_td);
    }
    McryptEcb(const McryptEcb&) = delete;
    McryptEcb& operator=(const McryptEcb&) = delete;

    void Rekey(const uint8_t* key, int key_length) {
        mcrypt_generic_deinit(m_td);
        if (!Init(key, key_length)) {
            throw std::runtime_error("mcrypt_generic_init failed");
        }
    }

    /// In place; `size` must be a multiple of 32.
    void Encrypt(uint8_t* data, std::size_t size) {
        if (mcrypt_generic(m_td, data, static_cast<int>(size)) != 0) {
            throw std::runtime_error("mcrypt_generic failed");
        }
    }
    void Decrypt(uint8_t* data, std::size_t size) {
        if (mdecrypt_generic(m_td, data, static_cast<int>(size)) != 0) {
            throw std::runtime_error("mdecrypt_generic failed");
        }
    }

  private:
    bool Init(const uint8_t* key, int key_length) {
        // libmcrypt copies the key; the cast only satisfies its non-const signature.
        void* key_copy = const_cast<uint8_t*>(key);
        return mcrypt_generic_init(m_td, key_copy, key_length, nullptr) >= 0;
    }

    MCRYPT m_td;
};

}  // namespace tarnel::peer

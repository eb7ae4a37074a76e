// SPDX-License-Identifier: MIT
#include "ecb_cipher.h"

#include "tarnel/secure_wipe.h"

namespace tarnel {

EcbCipher::EcbCipher(const uint8_t* key, uint32_t key_length, Direction direction) noexcept {
    set_key(key, key_length, direction);
}

bool EcbCipher::set_key(const uint8_t* key, uint32_t key_length, Direction direction) noexcept {
    m_direction = direction;
    const bool decrypt = direction == Direction::Decrypt;
    m_ctx.flags = 0;
    m_ok = rijndael_set_key(key, key_length, decrypt ? RIJNDAEL_DECRYPT : RIJNDAEL_ENCRYPT,
                            &m_ctx) == 1;
    m_path = cipher_path();
    if (!m_ok || m_path == CipherPath::Portable)
        return m_ok;
#if defined(__x86_64__)
    if (decrypt)
        aesni_decrypt_keys(m_ctx, m_keys);
    else
        accel_encrypt_keys(m_ctx, m_keys);
#elif defined(__aarch64__)
    (decrypt ? armv8_decrypt_keys : armv8_encrypt_keys)(m_ctx, m_keys);
#else
    m_path = CipherPath::Portable;
#endif
    return m_ok;
}

EcbCipher::~EcbCipher() {
    secure_wipe_object(m_ctx);
    secure_wipe_object(m_keys);
}

void EcbCipher::run(const uint8_t* src, uint8_t* dst, std::size_t blocks) const noexcept {
    if (!m_ok)
        return;
    const bool decrypt = m_direction == Direction::Decrypt;
    switch (m_path) {
#if defined(__x86_64__)
        case CipherPath::Vaes512:
            (decrypt ? vaes512_decrypt_blocks : vaes512_encrypt_blocks)(m_keys, src, dst, blocks);
            return;
        case CipherPath::Vaes:
            (decrypt ? vaes_decrypt_blocks : vaes_encrypt_blocks)(m_keys, src, dst, blocks);
            return;
        case CipherPath::AesNi:
            (decrypt ? aesni_decrypt_blocks : aesni_encrypt_blocks)(m_keys, src, dst, blocks);
            return;
#elif defined(__aarch64__)
        case CipherPath::Armv8Aes:
            (decrypt ? armv8_decrypt_blocks : armv8_encrypt_blocks)(m_keys, src, dst, blocks);
            return;
#endif
        default:
            break;
    }
    const auto block = decrypt ? rijndael_decrypt_block : rijndael_encrypt_block;
    for (std::size_t b = 0; b < blocks; ++b)
        block(src + 32 * b, dst + 32 * b, &m_ctx);
}

}  // namespace tarnel

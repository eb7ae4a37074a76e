// SPDX-License-Identifier: MIT
#include "seal_check.h"

#include <algorithm>
#include <cstring>

#include "body_layout.h"
#include "hex_codec.h"
#include "tarnel/sealed_format.h"
#include "test_hooks.h"
#include "text_blocks.h"

namespace tarnel {
void SealCheck::set_key(const TextKey& key) noexcept {
    if (test_hooks().skip_seal_check)
        return;
    const KeyBytes key_bytes(key);
    m_on = m_cipher.set_key(key_bytes.bytes, sizeof key_bytes.bytes, EcbCipher::Direction::Decrypt);
}

SealCheck::~SealCheck() {
    secure_wipe(m_opened, m_used);
}

bool SealCheck::compare(const char* hex, const uint8_t* plain, std::size_t blocks,
                        uint8_t* opened) const noexcept {
    bool same = true;
    for (std::size_t first = 0; first < blocks && same; first += kChunkBlocks) {
        const std::size_t n = std::min(kChunkBlocks, blocks - first);
        bool bad_digit = false;
        const std::size_t got = hex_decode_unbroken(hex + 64 * first, 32 * n, opened, bad_digit);
        m_cipher.run(opened, opened, n);
        same = got == 32 * n && !bad_digit && std::memcmp(opened, plain + 32 * first, 32 * n) == 0;
    }
    return same;
}

bool SealCheck::matches(char* hex, const uint8_t* plain, std::size_t blocks) const noexcept {
    if (const auto damage = test_hooks().damage)
        damage(hex, 64 * blocks);
    m_used = std::max(m_used, 32 * std::min(kChunkBlocks, blocks));
    return !m_on || compare(hex, plain, blocks, m_opened);
}

bool SealCheck::matches_last(char* out, std::size_t size, const uint8_t* plain,
                             uint64_t blocks) const noexcept {
    if (const auto damage = test_hooks().damage)
        damage(out, size);
    const std::string_view body(out, 64 + kTrailerDigits);
    const std::string_view close(out + body.size(), size - body.size());
    m_used = std::max<std::size_t>(m_used, 32);
    // The body holds the last block only, so its count cannot match; its trailer must
    // be ten digits that give every block.
    BodyDamage damage;
    const BodyLayout layout = analyse_body(body, damage);
    return !m_on || (compare(out, plain, 1, m_opened) && !damage.bad_trailer &&
                     layout.trailer_blocks == blocks && (close.empty() || close == kSealedClose));
}

bool SealCheck::matches_chunk(char* hex, const uint8_t* plain, std::size_t chunk,
                              std::size_t blocks) const noexcept {
    const std::size_t first = chunk * kChunkBlocks;
    const std::size_t n = std::min(kChunkBlocks, blocks - first);
    if (const auto damage = test_hooks().damage)
        damage(hex + 64 * first, 64 * n);
    if (!m_on)
        return true;
    alignas(64) uint8_t opened[32 * kChunkBlocks];
    const bool same = compare(hex + 64 * first, plain + 32 * first, n, opened);
    secure_wipe(opened, 32 * n);
    return same;
}

bool SealCheck::chunks_kept(const char* hex, const uint8_t* plain,
                            std::size_t blocks) const noexcept {
    uint8_t opened[32];
    bool same = true;
    for (std::size_t first = 0; first < blocks && same; first += kChunkBlocks)
        same = !m_on || compare(hex + 64 * first, plain + 32 * first, 1, opened);
    secure_wipe(opened, sizeof opened);
    return same;
}

}  // namespace tarnel

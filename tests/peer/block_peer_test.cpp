// SPDX-License-Identifier: MIT
// tarnel's Rijndael-256 against libmcrypt's, block by block, for every key length.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>

#include "mcrypt_peer.h"
#include "tarnel/rijndael.h"

namespace {

using Block = std::array<uint8_t, tarnel::kRijndaelBlockBytes>;

template <std::size_t N>
std::array<uint8_t, N> random_bytes(std::mt19937& rng) {
    std::array<uint8_t, N> bytes;
    for (auto& b : bytes) {
        b = static_cast<uint8_t>(rng());
    }
    return bytes;
}

class BlockPeer : public ::testing::TestWithParam<int> {};

// Each key gets a fresh schedule on both sides, so key expansion is compared as
// much as the rounds are.
TEST_P(BlockPeer, RandomKeysAndBlocksAgreeWithLibmcrypt) {
    const int key_length = GetParam();
    constexpr int kKeys = 400;
    constexpr int kBlocksPerKey = 4;
    std::mt19937 rng(0x7a31u + static_cast<unsigned>(key_length));
    const auto first_key = random_bytes<32>(rng);
    tarnel::peer::McryptEcb mcrypt(first_key.data(), key_length);

    for (int k = 0; k < kKeys; ++k) {
        const auto key = random_bytes<32>(rng);
        mcrypt.Rekey(key.data(), key_length);
        tarnel::RijndaelContext ctx{};
        ASSERT_EQ(
            tarnel::rijndael_set_key(key.data(), static_cast<uint32_t>(key_length),
                                     tarnel::RIJNDAEL_ENCRYPT | tarnel::RIJNDAEL_DECRYPT, &ctx),
            1);

        for (int i = 0; i < kBlocksPerKey; ++i) {
            const Block plain = random_bytes<32>(rng);
            Block ours{};
            ASSERT_EQ(tarnel::rijndael_encrypt_block(plain.data(), ours.data(), &ctx), 1);
            Block theirs = plain;
            mcrypt.Encrypt(theirs.data(), theirs.size());
            ASSERT_EQ(ours, theirs) << "encryption, key " << k << " block " << i;

            // A random cipher block, not only our own output, so decryption is
            // checked on its own rather than as the inverse of encryption.
            const Block cipher = random_bytes<32>(rng);
            ASSERT_EQ(tarnel::rijndael_decrypt_block(cipher.data(), ours.data(), &ctx), 1);
            theirs = cipher;
            mcrypt.Decrypt(theirs.data(), theirs.size());
            ASSERT_EQ(ours, theirs) << "decryption, key " << k << " block " << i;
        }
    }
}

// A context keyed for one direction only must still give libmcrypt's answer: the
// decryption schedule is built on its own path.
TEST_P(BlockPeer, SingleDirectionSchedulesAgreeWithLibmcrypt) {
    const int key_length = GetParam();
    std::mt19937 rng(0x51c3u + static_cast<unsigned>(key_length));
    for (int k = 0; k < 50; ++k) {
        const auto key = random_bytes<32>(rng);
        tarnel::peer::McryptEcb mcrypt(key.data(), key_length);
        tarnel::RijndaelContext enc{};
        tarnel::RijndaelContext dec{};
        ASSERT_EQ(tarnel::rijndael_set_key(key.data(), static_cast<uint32_t>(key_length),
                                           tarnel::RIJNDAEL_ENCRYPT, &enc),
                  1);
        ASSERT_EQ(tarnel::rijndael_set_key(key.data(), static_cast<uint32_t>(key_length),
                                           tarnel::RIJNDAEL_DECRYPT, &dec),
                  1);

        const Block block = random_bytes<32>(rng);
        Block ours{};
        Block theirs = block;
        ASSERT_EQ(tarnel::rijndael_encrypt_block(block.data(), ours.data(), &enc), 1);
        mcrypt.Encrypt(theirs.data(), theirs.size());
        EXPECT_EQ(ours, theirs) << "encryption, key " << k;

        theirs = block;
        ASSERT_EQ(tarnel::rijndael_decrypt_block(block.data(), ours.data(), &dec), 1);
        mcrypt.Decrypt(theirs.data(), theirs.size());
        EXPECT_EQ(ours, theirs) << "decryption, key " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(KeyLengths, BlockPeer, ::testing::Values(16, 24, 32),
                         [](const auto& info) { return std::to_string(info.param) + "Bytes"; });

}  // namespace

// SPDX-License-Identifier: MIT
// Every cipher path against the published vectors and against the portable block
// functions, for all key lengths and runs of blocks that cover every grouping the
// kernels make (eight, two and one in flight).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "cipher_path_fixture.h"
#include "ecb_cipher.h"
#include "test_hex.h"
#include "vector_file.h"

namespace tarnel {
namespace {

using Direction = EcbCipher::Direction;
using test::from_hex;
using test::to_hex;

class EcbCipherPaths : public test::OnEveryCipherPath {};

TEST_P(EcbCipherPaths, RunsOnTheForcedPath) {
    const uint8_t key[32] = {};
    const EcbCipher cipher(key, 32, Direction::Encrypt);
    ASSERT_TRUE(cipher.ok());
    EXPECT_EQ(cipher.path(), GetParam());
}

TEST_P(EcbCipherPaths, KnownAnswersBothWays) {
    for (const char* file : {"dr_proposal_examples_b256.txt", "design_of_rijndael_d3_b256.txt",
                             "nessie_rijndael256_k256.txt"}) {
        const auto vectors = test::read_vector_file(file);
        ASSERT_FALSE(vectors.empty()) << file;
        for (const auto& v : vectors) {
            const std::vector<uint8_t> key = from_hex(v.fields[0]);
            std::vector<uint8_t> block = from_hex(v.fields[1]);
            const EcbCipher encrypt(key.data(), uint32_t(key.size()), Direction::Encrypt);
            const EcbCipher decrypt(key.data(), uint32_t(key.size()), Direction::Decrypt);
            encrypt.run(block.data(), block.data(), 1);
            ASSERT_EQ(to_hex(block), v.fields[2]) << file << ":" << v.line_number;
            decrypt.run(block.data(), block.data(), 1);
            ASSERT_EQ(to_hex(block), v.fields[1]) << file << ":" << v.line_number;
        }
    }
}

// Expected output from the portable block functions, one fresh call per block.
std::vector<uint8_t> portable(const std::vector<uint8_t>& key, const std::vector<uint8_t>& data,
                              Direction direction) {
    RijndaelContext ctx{};
    const bool decrypt = direction == Direction::Decrypt;
    EXPECT_EQ(rijndael_set_key(key.data(), uint32_t(key.size()),
                               decrypt ? RIJNDAEL_DECRYPT : RIJNDAEL_ENCRYPT, &ctx),
              1);
    std::vector<uint8_t> out(data.size());
    for (std::size_t at = 0; at < data.size(); at += 32) {
        (decrypt ? rijndael_decrypt_block : rijndael_encrypt_block)(data.data() + at,
                                                                    out.data() + at, &ctx);
    }
    return out;
}

TEST_P(EcbCipherPaths, AgreesWithThePortableBlocksOnRandomKeysAndRuns) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (const uint32_t key_length : {16u, 24u, 32u}) {
        for (std::size_t blocks = 0; blocks <= 40; ++blocks) {
            std::vector<uint8_t> key(key_length), data(32 * blocks);
            for (auto& k : key)
                k = uint8_t(byte(rng));
            for (auto& d : data)
                d = uint8_t(byte(rng));
            for (const Direction direction : {Direction::Encrypt, Direction::Decrypt}) {
                const EcbCipher cipher(key.data(), key_length, direction);
                const std::vector<uint8_t> expected = portable(key, data, direction);
                std::vector<uint8_t> out(data.size() + 1, 0xEE);
                cipher.run(data.data(), out.data(), blocks);
                EXPECT_EQ(out.back(), 0xEE) << "wrote past the last block";
                out.pop_back();
                EXPECT_EQ(out, expected) << key_length << "-byte key, " << blocks << " blocks";
                std::vector<uint8_t> in_place = data;
                cipher.run(in_place.data(), in_place.data(), blocks);
                EXPECT_EQ(in_place, expected) << "in place, " << blocks << " blocks";
            }
        }
    }
}

TEST_P(EcbCipherPaths, DecryptionUndoesEncryptionAtOddOffsets) {
    // Unaligned buffers, as a text's blocks are inside a string.
    std::vector<uint8_t> key(32, 0x5c), data(32 * 19 + 3);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 13);
    const std::vector<uint8_t> original = data;
    EcbCipher(key.data(), 32, Direction::Encrypt).run(data.data() + 3, data.data() + 3, 19);
    EXPECT_NE(data, original);
    EcbCipher(key.data(), 32, Direction::Decrypt).run(data.data() + 3, data.data() + 3, 19);
    EXPECT_EQ(data, original);
}

TEST_P(EcbCipherPaths, AnUnusableKeyLengthWritesNothing) {
    const uint8_t key[20] = {};
    const EcbCipher cipher(key, 20, Direction::Encrypt);
    EXPECT_FALSE(cipher.ok());
    std::vector<uint8_t> data(64, 0x42);
    cipher.run(data.data(), data.data(), 2);
    EXPECT_EQ(data, std::vector<uint8_t>(64, 0x42));
}

TARNEL_ON_EVERY_CIPHER_PATH(EcbCipherPaths);

}  // namespace
}  // namespace tarnel

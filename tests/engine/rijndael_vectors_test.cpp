// SPDX-License-Identifier: MIT
// Published known-answer vectors, encryption and decryption both ways.
#include <gtest/gtest.h>

#include "tarnel/rijndael.h"
#include "test_hex.h"
#include "vector_file.h"

namespace tarnel {
namespace {

using test::from_hex;
using test::read_vector_file;
using test::to_hex;

RijndaelContext keyed(const std::vector<uint8_t>& key) {
    RijndaelContext ctx{};
    EXPECT_EQ(rijndael_set_key(key.data(), uint32_t(key.size()),
                               RIJNDAEL_ENCRYPT | RIJNDAEL_DECRYPT, &ctx),
              1);
    return ctx;
}

void check_file(const char* name, std::size_t expected_count) {
    const auto vectors = read_vector_file(name);
    ASSERT_EQ(vectors.size(), expected_count) << name;
    for (const auto& v : vectors) {
        ASSERT_EQ(v.fields.size(), 3u) << name << ":" << v.line_number;
        const RijndaelContext ctx = keyed(from_hex(v.fields[0]));
        std::vector<uint8_t> block = from_hex(v.fields[1]);
        ASSERT_EQ(block.size(), 32u);
        ASSERT_EQ(rijndael_encrypt_block(block.data(), block.data(), &ctx), 1);
        EXPECT_EQ(to_hex(block), v.fields[2]) << name << ":" << v.line_number;
        ASSERT_EQ(rijndael_decrypt_block(block.data(), block.data(), &ctx), 1);
        EXPECT_EQ(to_hex(block), v.fields[1]) << name << ":" << v.line_number;
    }
}

TEST(RijndaelVectors, ProposalExamplesForEveryKeyLength) {
    check_file("dr_proposal_examples_b256.txt", 3);
}

TEST(RijndaelVectors, ZeroKeysForEveryKeyLength) {
    check_file("design_of_rijndael_d3_b256.txt", 6);
}

TEST(RijndaelVectors, NessieSingleEncryptions) {
    check_file("nessie_rijndael256_k256.txt", 1540);
}

TEST(RijndaelVectors, NessieIteratedEncryptions) {
    const auto vectors = read_vector_file("nessie_rijndael256_k256_iterated.txt");
    ASSERT_EQ(vectors.size(), 770u);
    for (const auto& v : vectors) {
        ASSERT_EQ(v.fields.size(), 4u) << v.line_number;
        const RijndaelContext ctx = keyed(from_hex(v.fields[0]));
        std::vector<uint8_t> block = from_hex(v.fields[1]);
        for (int i = 1; i <= 1000; ++i) {
            rijndael_encrypt_block(block.data(), block.data(), &ctx);
            if (i == 100) {
                EXPECT_EQ(to_hex(block), v.fields[2]) << v.line_number;
            }
        }
        EXPECT_EQ(to_hex(block), v.fields[3]) << v.line_number;
        for (int i = 0; i < 1000; ++i)
            rijndael_decrypt_block(block.data(), block.data(), &ctx);
        EXPECT_EQ(to_hex(block), v.fields[1]) << v.line_number;
    }
}

}  // namespace
}  // namespace tarnel

// SPDX-License-Identifier: MIT
// Sealing and opening give the same bytes on every cipher path: each accelerated
// path against the portable one, for every text length from 0 to 300.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "cipher_path_fixture.h"
#include "tarnel/text_cipher.h"

namespace tarnel {
namespace {

std::string seal_body(const TextKey& key, std::string_view plain) {
    CTextCipher cipher;
    std::string body;
    EXPECT_TRUE(cipher.EncryptText(key, plain, body));
    return body;
}

std::string open_body(const TextKey& key, std::string_view body) {
    CTextCipher cipher;
    std::string plain;
    EXPECT_TRUE(cipher.DecryptText(key, body, plain));
    return plain;
}

class TextCipherPaths : public test::OnEveryCipherPath {};

TEST_P(TextCipherPaths, SealsAndOpensAsThePortablePathDoes) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> nonzero(1, 255);
    TextKey key{};
    for (std::size_t length = 0; length <= 300; ++length) {
        for (auto& w : key.words)
            w = uint32_t(rng());
        std::string plain(length, '\0');
        for (auto& c : plain)
            c = char(nonzero(rng));
        // Bodies of random hex-like bytes too, so that opening meets noise.
        std::string noise(64 * (length / 32 + 1), '\0');
        for (auto& c : noise)
            c = "0123456789abcdef"[byte(rng) & 15];
        noise += "4294967294";

        const std::string sealed = seal_body(key, plain);
        const std::string opened_noise = open_body(key, noise);
        ASSERT_TRUE(set_cipher_path(CipherPath::Portable));
        const std::string reference = seal_body(key, plain);
        const std::string reference_noise = open_body(key, noise);
        ASSERT_TRUE(set_cipher_path(GetParam()));

        ASSERT_EQ(sealed, reference) << "length " << length;
        ASSERT_EQ(open_body(key, sealed), plain) << "length " << length;
        ASSERT_EQ(opened_noise, reference_noise) << "length " << length;
    }
}

// A body without white space is opened in one pass; one space anywhere sends it
// the way that counts white space first. Both must agree on every body, damaged
// and forged ones included.
TEST_P(TextCipherPaths, OpeningWithAndWithoutWhiteSpaceAgrees) {
    std::mt19937 rng(13);
    std::uniform_int_distribution<int> digit(0, 15);
    std::uniform_int_distribution<int> percent(0, 99);
    TextKey key{};
    for (int round = 0; round < 400; ++round) {
        for (auto& w : key.words)
            w = uint32_t(rng());
        const std::size_t hex_length = std::size_t(rng() % 700);
        std::string body(hex_length, '0');
        const int strays = round % 5 == 0 ? 0 : 2;
        for (auto& c : body)
            c = percent(rng) < strays ? "G\x00\xff.A"[digit(rng) % 5]
                                      : "0123456789abcdef"[digit(rng)];
        // A stray last character left without a partner is judged all the same.
        if (strays == 0 && hex_length % 2 == 1)
            body.back() = 't';
        // Trailers that match, ask for fewer or more blocks, or are not numbers.
        const uint32_t blocks = uint32_t(hex_length / 64 + (round % 3) - 1);
        char trailer[16];
        std::snprintf(trailer, sizeof trailer, "%010u", ~blocks);
        body += round % 7 == 0 ? "-12345678x" : trailer;

        for (const std::size_t at : {std::size_t(0), hex_length / 2, hex_length}) {
            std::string spaced = body;
            spaced.insert(at, 1, round % 2 ? ' ' : '\n');
            CTextCipher a, b;
            std::string plain, plain_spaced;
            OpenSummary summary, summary_spaced;
            ASSERT_TRUE(a.DecryptText(key, body, plain, &summary));
            ASSERT_TRUE(b.DecryptText(key, spaced, plain_spaced, &summary_spaced));
            ASSERT_EQ(plain, plain_spaced) << "round " << round << ", space at " << at;
            EXPECT_EQ(summary.blocks, summary_spaced.blocks);
            EXPECT_EQ(summary.looks_genuine, summary_spaced.looks_genuine);
            EXPECT_EQ(summary.damage.partial_block, summary_spaced.damage.partial_block);
            EXPECT_EQ(summary.damage.bad_digits, summary_spaced.damage.bad_digits) << round;
            EXPECT_EQ(summary.damage.bad_trailer, summary_spaced.damage.bad_trailer);
            EXPECT_EQ(summary.damage.count_mismatch, summary_spaced.damage.count_mismatch);
        }
    }
}

TARNEL_ON_EVERY_CIPHER_PATH(TextCipherPaths);

}  // namespace
}  // namespace tarnel

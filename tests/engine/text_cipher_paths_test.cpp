// SPDX-License-Identifier: MIT
// Sealing and opening give the same bytes on every cipher path: each accelerated
// path against the portable one, for every text length from 0 to 300.
#include <gtest/gtest.h>

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

TARNEL_ON_EVERY_CIPHER_PATH(TextCipherPaths);

}  // namespace
}  // namespace tarnel

// SPDX-License-Identifier: MIT
// ProcessText against a sealer written here from libmcrypt, zlib's crc32 and
// snprintf, sharing nothing with the engine but the cipher's definition.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "mcrypt_peer.h"
#include "tarnel/process.h"
#include "tarnel/text_cipher.h"

namespace {

std::string_view reference_trim(std::string_view text) {
    constexpr std::string_view kSpace = " \t\n\v\f\r";
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// Ki is the running CRC-32 over the password repeated to eight bytes; the key is
// K0..K7, each least significant byte first.
std::vector<uint8_t> reference_key(std::string_view password) {
    std::vector<uint8_t> key(32);
    uLong crc = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const auto byte = static_cast<Bytef>(password[i % password.size()]);
        crc = crc32(crc, &byte, 1);
        for (std::size_t b = 0; b < 4; ++b) {
            key[4 * i + b] = static_cast<uint8_t>(crc >> (8 * b));
        }
    }
    return key;
}

std::string reference_seal(std::string_view password, std::string_view text) {
    const std::string_view plain = reference_trim(text);
    const std::size_t blocks = plain.size() / 32 + 1;
    std::vector<uint8_t> buffer(blocks * 32, 0);
    std::copy(plain.begin(), plain.end(), buffer.begin());

    const auto key = reference_key(password);
    tarnel::peer::McryptEcb(key.data(), static_cast<int>(key.size()))
        .Encrypt(buffer.data(), buffer.size());

    std::string sealed = "{{";
    char digits[16];
    for (const uint8_t byte : buffer) {
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned>(byte));
        sealed += digits;
    }
    std::snprintf(digits, sizeof digits, "%010u", 4294967295u - static_cast<unsigned>(blocks));
    sealed += digits;
    sealed += "}}";
    return sealed;
}

std::string random_text(std::mt19937& rng, std::size_t length, int lowest, int highest) {
    std::uniform_int_distribution<int> byte(lowest, highest);
    std::string text(length, '\0');
    for (auto& c : text) {
        c = static_cast<char>(byte(rng));
    }
    return text;
}

// Passwords of one to twenty bytes cover the repeated (under eight) and the cut
// (over eight) key streams; any byte but NUL, which is refused, so signedness of
// char shows.
std::string random_password(std::mt19937& rng, std::size_t case_number) {
    return random_text(rng, 1 + case_number % 20, 1, 255);
}

// ProcessText refuses a text holding a NUL, which would not come back; the cipher
// below it seals any bytes, and stored texts may hold them.
std::string seal_any_bytes(const std::string& password, std::string_view text) {
    tarnel::CTextCipher cipher;
    tarnel::TextKey key;
    cipher.SetPassword(password, key);
    std::string sealed;
    EXPECT_TRUE(cipher.EncryptText(key, reference_trim(text), sealed, tarnel::Envelope::Included));
    return sealed;
}

std::vector<std::size_t> text_lengths() {
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 100; ++n) {
        lengths.push_back(n);
    }
    for (std::size_t n : {255u, 1000u, 4096u, 65537u, (1u << 20) + 7u}) {
        lengths.push_back(n);
    }
    return lengths;
}

TEST(SealingPeer, SealedTextsMatchTheReference) {
    std::mt19937 rng(20240611u);
    std::size_t case_number = 0;
    for (const std::size_t length : text_lengths()) {
        for (int repeat = 0; repeat < 3; ++repeat, ++case_number) {
            const std::string password = random_password(rng, case_number);
            // Any byte, zero and white space included; the reference trims as sealing does.
            const std::string text = random_text(rng, length, 0, 255);
            const std::string want = reference_seal(password, text);
            const auto outcome =
                tarnel::ProcessText(password, text, tarnel::ProcessDirection::Seal);
            if (reference_trim(text).find('\0') == std::string_view::npos) {
                ASSERT_EQ(outcome.kind, tarnel::ProcessOutcome::Kind::NewText) << length;
                EXPECT_TRUE(outcome.sealed);
                ASSERT_EQ(outcome.text, want) << "length " << length;
            } else {
                ASSERT_EQ(outcome.text, tarnel::kTextNulMessage) << "length " << length;
            }
            ASSERT_EQ(seal_any_bytes(password, text), want)
                << "length " << length << ", password length " << password.size();
        }
    }
}

TEST(SealingPeer, PaddedPlainTextsSealAsTheirTrimmedCore) {
    std::mt19937 rng(77u);
    for (std::size_t case_number = 0; case_number < 200; ++case_number) {
        const std::string password = random_password(rng, case_number);
        // A printable core that cannot be mistaken for a sealed text ('{' is excluded).
        const std::string core = random_text(rng, 1 + case_number % 70, '!', 'z');
        const std::string text = random_text(rng, case_number % 5, ' ', ' ') + "\r\n\t" + core +
                                 "\v\f" + random_text(rng, case_number % 3, '\n', '\n');
        const auto outcome = tarnel::ProcessText(password, text);
        ASSERT_EQ(outcome.kind, tarnel::ProcessOutcome::Kind::NewText);
        EXPECT_TRUE(outcome.sealed);
        EXPECT_EQ(outcome.text, reference_seal(password, core)) << "case " << case_number;
    }
}

// The other direction: what the reference seals, ProcessText opens, up to the
// first zero byte of the plain text.
TEST(SealingPeer, ReferenceSealedTextsOpen) {
    std::mt19937 rng(4711u);
    std::size_t case_number = 0;
    for (const std::size_t length : text_lengths()) {
        const std::string password = random_password(rng, case_number++);
        // Mostly printable with the odd zero byte, so the cut at the first zero is met.
        std::string text = random_text(rng, length, '!', '~');
        const bool inner_zero = length > 4 && case_number % 4 == 0;
        if (inner_zero) {
            text[length / 2] = '\0';
        }
        const std::string sealed = reference_seal(password, text);
        const auto outcome = tarnel::ProcessText(password, sealed);
        ASSERT_EQ(outcome.kind, tarnel::ProcessOutcome::Kind::NewText) << "length " << length;
        EXPECT_FALSE(outcome.sealed);
        // A zero inside the text is followed by non-zero bytes, which sealing never makes.
        EXPECT_EQ(outcome.looks_genuine, !inner_zero) << "length " << length;
        EXPECT_FALSE(outcome.damage.any());
        EXPECT_EQ(outcome.text, std::string_view(text.c_str())) << "length " << length;
    }
}

}  // namespace

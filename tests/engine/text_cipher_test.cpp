// SPDX-License-Identifier: MIT
// Key derivation, the sealed body's shape, round trips across block boundaries,
// and what the decoder does with damaged and forged bodies.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tarnel/sealed_format.h"
#include "tarnel/text_cipher.h"

namespace tarnel {
namespace {

TextKey key_of(std::string_view password) {
    CTextCipher cipher;
    TextKey key{};
    cipher.SetPassword(password, key);
    return key;
}

std::string seal_body(std::string_view password, std::string_view plain) {
    CTextCipher cipher;
    TextKey key;
    cipher.SetPassword(password, key);
    std::string body;
    EXPECT_TRUE(cipher.EncryptText(key, plain, body));
    return body;
}

std::string open_body(std::string_view password, std::string_view body,
                      OpenSummary* summary = nullptr) {
    CTextCipher cipher;
    TextKey key;
    cipher.SetPassword(password, key);
    std::string plain;
    EXPECT_TRUE(cipher.DecryptText(key, body, plain, summary));
    return plain;
}

bool is_lower_hex(std::string_view text) {
    return text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

TEST(TextKey, IsTheRunningCrcOfThePasswordRepeatedToEightBytes) {
    // Published CRC-32 values: "a" e8b7be43, "abc" 352441c2, "abcabcab" from "abc" repeated.
    const TextKey key = key_of("abc");
    EXPECT_EQ(key.words[0], 0xe8b7be43u);
    EXPECT_EQ(key.words[2], 0x352441c2u);
    // "12345678" is the first eight bytes of "123456789", whose CRC is cbf43926.
    const TextKey digits = key_of("123456789");
    EXPECT_EQ(digits.words[7], key_of("12345678").words[7]);
    uint8_t bytes[32];
    text_key_bytes(key, bytes);
    EXPECT_EQ(bytes[0], 0x43);
    EXPECT_EQ(bytes[3], 0xe8) << "words go to the cipher least significant byte first";
}

TEST(TextKey, OnlyTheFirstEightBytesCount) {
    const TextKey one = key_of("x");
    const TextKey eight = key_of("xxxxxxxx");
    EXPECT_EQ(0, std::memcmp(&one, &eight, sizeof one));
    const TextKey long_a = key_of("password-one");
    const TextKey long_b = key_of("password-two");
    EXPECT_EQ(0, std::memcmp(&long_a, &long_b, sizeof long_a));
    const TextKey other = key_of("passwore");
    EXPECT_NE(0, std::memcmp(&long_a, &other, sizeof other));
}

TEST(EncryptText, BodyIsWholeBlocksOfLowerHexAndTheComplementedCount) {
    for (std::size_t length : {0u, 1u, 31u, 32u, 33u, 63u, 64u, 65u, 100u}) {
        const std::string body = seal_body("pw", std::string(length, 'q'));
        const uint64_t blocks = length / 32 + 1;
        ASSERT_EQ(body.size(), 64 * blocks + 10) << length;
        EXPECT_TRUE(is_lower_hex(body)) << length;
        EXPECT_EQ(std::stoull(body.substr(body.size() - 10)), 4294967295ull - blocks) << length;
    }
    EXPECT_EQ(seal_body("pw", "").substr(64), "4294967294");
    EXPECT_EQ(seal_body("pw", std::string(32, 'q')).substr(128), "4294967293");
}

TEST(EncryptText, AnEmptyViewWithoutStorageSealsLikeTheEmptyText) {
    EXPECT_EQ(seal_body("pw", std::string_view{}), seal_body("pw", std::string()));
}

TEST(EncryptText, RefusesATextTooLongForTheTrailerBeforeTouchingIt) {
    // The view is never read: the length alone decides.
    const char byte = 'x';
    const std::string_view huge(&byte, std::size_t(kMaxPlainLength) + 1);
    CTextCipher cipher;
    TextKey key;
    cipher.SetPassword("pw", key);
    std::string result = "stale";
    EXPECT_FALSE(cipher.EncryptText(key, huge, result));
    EXPECT_TRUE(result.empty());
}

TEST(EncryptText, EqualBlocksGiveEqualDigitsAndDifferentKeysDiffer) {
    const std::string half = "0123456789abcdef0123456789ABCDEF";
    const std::string body = seal_body("pw", half + half);
    EXPECT_EQ(body.substr(0, 64), body.substr(64, 64));
    EXPECT_NE(body.substr(0, 64), body.substr(128, 64)) << "the zero block differs";
    EXPECT_NE(seal_body("pw", half), seal_body("pW", half));
}

TEST(DecryptText, RoundTripsEveryLengthAcrossTheBlockEdges) {
    for (std::size_t length = 0; length <= 100; ++length) {
        std::string plain;
        for (std::size_t i = 0; i < length; ++i)
            plain += char(1 + (i * 37) % 255);
        OpenSummary summary;
        EXPECT_EQ(open_body("secret", seal_body("secret", plain), &summary), plain) << length;
        EXPECT_EQ(summary.blocks, length / 32 + 1);
        EXPECT_TRUE(summary.looks_genuine) << length;
    }
}

TEST(DecryptText, LargeTextRoundTripsAcrossChunks) {
    std::string plain(300000, '\0');
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = char('a' + i % 26);
    EXPECT_EQ(open_body("k", seal_body("k", plain)), plain);
}

TEST(DecryptText, ATextWithAZeroByteComesBackCutAtIt) {
    const std::string plain("ab\0cd", 5);
    EXPECT_EQ(open_body("pw", seal_body("pw", plain)), "ab");
}

TEST(DecryptText, WrongPasswordGivesAnotherTextAndNoError) {
    const std::string plain = "meet me at the station at nine";
    OpenSummary summary;
    const std::string opened = open_body("wrong", seal_body("right", plain), &summary);
    EXPECT_NE(opened, plain);
    EXPECT_LE(opened.size(), 32u);
}

TEST(DecryptText, UpperCaseDigitsDoNotOpen) {
    const std::string plain = "a text to seal";
    std::string body = seal_body("pw", plain);
    const std::size_t letter = body.find_first_of("abcdef");
    ASSERT_NE(letter, std::string::npos);
    body[letter] = char(body[letter] - 'a' + 'A');
    EXPECT_NE(open_body("pw", body), plain);
}

TEST(DecryptText, WrappedBodyOpensAsIfUnbroken) {
    const std::string plain(90, 'w');
    const std::string body = seal_body("pw", plain);
    std::string wrapped;
    for (std::size_t i = 0; i < body.size(); i += 76)
        wrapped += body.substr(i, 76) + "\r\n";
    wrapped = wrapped.substr(0, wrapped.size() - 5) + "  " + wrapped.substr(wrapped.size() - 5);
    OpenSummary summary;
    EXPECT_EQ(open_body("pw", "\n" + wrapped, &summary), plain);
    EXPECT_TRUE(summary.looks_genuine);
}

TEST(DecryptText, ForgedTrailersGiveShortTextsAtOnce) {
    const std::string body = seal_body("pw", std::string(80, 'z'));  // three blocks
    const std::string hex = body.substr(0, body.size() - 10);
    OpenSummary summary;
    // The largest count, a zero trailer and non-digits: only the three real blocks.
    EXPECT_EQ(open_body("pw", hex + "0000000000", &summary), std::string(80, 'z'));
    EXPECT_EQ(summary.blocks, 3u);
    EXPECT_EQ(open_body("pw", hex + "nonsense!!", &summary).size(), 80u);
    EXPECT_EQ(summary.blocks, 3u);
    // A count of zero and an empty body give the empty text.
    EXPECT_EQ(open_body("pw", hex + "4294967295", &summary), "");
    EXPECT_EQ(summary.blocks, 0u);
    EXPECT_FALSE(summary.looks_genuine);
    EXPECT_EQ(open_body("pw", "", &summary), "");
    EXPECT_EQ(summary.blocks, 0u);
    // A smaller count than the hex holds: only the blocks it names.
    EXPECT_EQ(open_body("pw", hex + "4294967294", &summary), std::string(32, 'z'));
    EXPECT_EQ(summary.blocks, 1u);
    EXPECT_FALSE(summary.looks_genuine) << "no zero in its last block";
}

TEST(DecryptText, CutBodyIsNotPaddedWithBlocksThatWereNeverThere) {
    const std::string body = seal_body("pw", std::string(100, 'c'));  // four blocks
    const std::string trailer = body.substr(body.size() - 10);
    OpenSummary summary;
    // Half the hex lost in transit, trailer intact: two blocks decode.
    const std::string cut = body.substr(0, 128) + trailer;
    EXPECT_EQ(open_body("pw", cut, &summary), std::string(64, 'c'));
    EXPECT_EQ(summary.blocks, 2u);
    EXPECT_FALSE(summary.looks_genuine);
    // One digit short of a block: the partly filled block still counts.
    open_body("pw", body.substr(0, 127) + trailer, &summary);
    EXPECT_EQ(summary.blocks, 2u);
}

TEST(DecryptText, BufferWithoutZeroGivesEveryByte) {
    // A body decoded under a wrong password has no zero in 32 bytes about 88
    // percent of the time; search for one and check that all 32 bytes come back.
    const std::string body = seal_body("right", "some text to seal");
    for (char c = 'a'; c <= 'z'; ++c) {
        OpenSummary summary;
        const std::string opened = open_body(std::string(1, c), body, &summary);
        if (opened.size() == 32) {
            EXPECT_FALSE(summary.looks_genuine);
            return;
        }
    }
    FAIL() << "no wrong password gave a buffer without a zero byte";
}

}  // namespace
}  // namespace tarnel

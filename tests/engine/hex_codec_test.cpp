// SPDX-License-Identifier: MIT
// The vector hex kernels against the portable codec: every byte value in every
// lane position, both characters of a pair, white space anywhere, and lengths and
// capacities around the vector widths.
#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "hex_codec.h"
#include "hex_path.h"
#include "tarnel/sealed_format.h"

namespace tarnel {

// Names the path in a failure message.
inline void PrintTo(HexPath path, std::ostream* os) {
    *os << hex_path_name(path);
}

namespace {

class HexPaths : public ::testing::TestWithParam<HexPath> {
  protected:
    void SetUp() override {
        if (!set_hex_path(GetParam()))
            GTEST_SKIP() << "this processor has no " << hex_path_name(GetParam()) << " path";
    }
    void TearDown() override { reset_hex_path(); }

    // What the portable codec makes of the same call: the reference.
    template <class F>
    auto portable(F f) {
        EXPECT_TRUE(set_hex_path(HexPath::Portable));
        auto result = f();
        EXPECT_TRUE(set_hex_path(GetParam()));
        return result;
    }
};

struct Decoded {
    std::vector<uint8_t> bytes;
    std::size_t written = 0;
    bool operator==(const Decoded&) const = default;
};

// The output buffer is one byte larger than `capacity`, so a write past it shows.
Decoded decode(std::string_view hex, std::size_t capacity) {
    Decoded d;
    d.bytes.assign(capacity + 1, 0xA5);
    d.written = hex_decode_skipping_space(hex.data(), hex.size(), d.bytes.data(), capacity);
    return d;
}

std::string encode(const std::vector<uint8_t>& bytes) {
    std::string hex(2 * bytes.size() + 1, '#');
    hex_encode(bytes.data(), bytes.size(), hex.data());
    return hex;
}

TEST_P(HexPaths, EveryPairOfCharactersFollowsTheDigitRule) {
    // d(c) = c - 87 for 'a' to 'f', c - 48 for any other byte, mod 256.
    auto d = [](int c) { return (c >= 'a' && c <= 'f') ? c - 87 : c - 48; };
    std::string hex;
    std::vector<uint8_t> expected;
    for (int high = 0; high < 256; ++high) {
        for (int low = 0; low < 256; ++low) {
            const char pair[2] = {char(high), char(low)};
            if (is_format_space(pair[0]) || is_format_space(pair[1]))
                continue;  // white space has its own tests
            hex.append(pair, 2);
            expected.push_back(uint8_t(16 * d(high) + d(low)));
        }
    }
    const Decoded got = decode(hex, expected.size());
    ASSERT_EQ(got.written, expected.size());
    expected.push_back(0xA5);
    EXPECT_EQ(got.bytes, expected);
}

TEST_P(HexPaths, EveryByteValueInEveryLanePositionDecodesAsPortably) {
    // 128 characters span two AVX2 steps; each position in turn takes all 256 values.
    std::string hex(128, '0');
    for (std::size_t i = 0; i < hex.size(); ++i)
        hex[i] = "0123456789abcdef"[(i * 7) % 16];
    for (std::size_t position = 0; position < hex.size(); ++position) {
        for (int value = 0; value < 256; ++value) {
            std::string probe = hex;
            probe[position] = char(value);
            const Decoded want = portable([&] { return decode(probe, 64); });
            ASSERT_EQ(decode(probe, 64), want) << "byte " << value << " at " << position;
        }
    }
}

TEST_P(HexPaths, EveryByteValueInEveryLanePositionEncodesAsPortably) {
    std::vector<uint8_t> bytes(64);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 37);
    for (std::size_t position = 0; position < bytes.size(); ++position) {
        for (int value = 0; value < 256; ++value) {
            std::vector<uint8_t> probe = bytes;
            probe[position] = uint8_t(value);
            const std::string want = portable([&] { return encode(probe); });
            ASSERT_EQ(encode(probe), want) << "byte " << value << " at " << position;
        }
    }
}

struct Unbroken {
    std::vector<uint8_t> bytes;
    std::size_t decoded = 0;
    bool bad_digit = false;
    bool operator==(const Unbroken&) const = default;
};

Unbroken decode_unbroken(std::string_view hex, bool bad_before = false) {
    Unbroken u;
    u.bytes.assign(hex.size() / 2, 0xA5);
    u.bad_digit = bad_before;
    u.decoded = hex_decode_unbroken(hex.data(), hex.size() / 2, u.bytes.data(), u.bad_digit);
    return u;
}

TEST_P(HexPaths, UnbrokenDecodingFlagsEveryStrayByteInEveryLanePositionAsPortably) {
    // The flag that tells a damaged body: set by any byte but 0-9 and a-f, in
    // either character of a pair; white space ends the run instead.
    std::string hex(128, '0');
    for (std::size_t i = 0; i < hex.size(); ++i)
        hex[i] = "0123456789abcdef"[(i * 11) % 16];
    ASSERT_FALSE(decode_unbroken(hex).bad_digit);
    ASSERT_TRUE(decode_unbroken(hex, true).bad_digit) << "a flag already set stays set";
    for (std::size_t position = 0; position < hex.size(); ++position) {
        for (int value = 0; value < 256; ++value) {
            std::string probe = hex;
            probe[position] = char(value);
            const Unbroken want = portable([&] { return decode_unbroken(probe); });
            const bool digit = (value >= '0' && value <= '9') || (value >= 'a' && value <= 'f');
            ASSERT_EQ(want.bad_digit, !digit && !is_format_space(char(value)));
            ASSERT_EQ(decode_unbroken(probe), want) << "byte " << value << " at " << position;
        }
    }
}

TEST_P(HexPaths, RandomBuffersAroundTheVectorWidthsMatchThePortableCodec) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> digit(0, 15);
    std::uniform_int_distribution<int> percent(0, 99);
    const char spaces[] = " \t\n\v\f\r";
    for (std::size_t length = 0; length <= 300; ++length) {
        std::vector<uint8_t> bytes(length);
        for (auto& b : bytes)
            b = uint8_t(byte(rng));
        const std::string want = portable([&] { return encode(bytes); });
        ASSERT_EQ(encode(bytes), want) << length;

        // Mostly digits, with stray bytes and white space now and then.
        for (const int noise : {0, 2, 20}) {
            std::string hex(length, '0');
            for (auto& c : hex) {
                const int roll = percent(rng);
                c = roll < noise / 2 ? spaces[digit(rng) % 6]
                    : roll < noise   ? char(byte(rng))
                                     : "0123456789abcdef"[digit(rng)];
            }
            for (const std::size_t capacity :
                 {length / 2, length / 2 + 1, length / 3, std::size_t(17)}) {
                const Decoded expected = portable([&] { return decode(hex, capacity); });
                ASSERT_EQ(decode(hex, capacity), expected)
                    << length << " characters, noise " << noise << ", capacity " << capacity;
            }
        }
    }
}

TEST_P(HexPaths, WhiteSpaceAnywhereIsSkippedAsPortably) {
    // A mail program's line breaks, and each space character at each offset of a step.
    std::string hex;
    for (int i = 0; i < 200; ++i)
        hex += "0123456789abcdef"[(i * 5) % 16];
    for (const char space : std::string(" \t\n\v\f\r")) {
        for (std::size_t at = 0; at <= 130; ++at) {
            std::string probe = hex;
            probe.insert(at, 1, space);
            probe.insert(std::min(probe.size(), at + 70), "\r\n");
            const Decoded want = portable([&] { return decode(probe, 100); });
            ASSERT_EQ(want.written, 100u);
            ASSERT_EQ(decode(probe, 100), want) << int(space) << " at " << at;
        }
    }
}

TEST_P(HexPaths, ScanningCountsWhiteSpaceAndFindsStrayCharactersAsPortably) {
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> digit(0, 15);
    for (std::size_t length = 0; length <= 200; ++length) {
        std::string text(length, '0');
        for (auto& c : text)
            c = "0123456789abcdef"[digit(rng)];
        const HexScan clean = scan_hex(text.data(), text.size());
        EXPECT_EQ(clean.spaces, 0u);
        EXPECT_FALSE(clean.bad_digit) << length;
        if (length == 0)
            continue;
        // One byte of each value at a position of each lane offset.
        for (int value = 0; value < 256; ++value) {
            std::string probe = text;
            probe[std::size_t(byte(rng)) % length] = char(value);
            const HexScan want = portable([&] { return scan_hex(probe.data(), probe.size()); });
            const HexScan got = scan_hex(probe.data(), probe.size());
            ASSERT_EQ(got.spaces, want.spaces) << value << " in " << length;
            ASSERT_EQ(got.bad_digit, want.bad_digit) << value << " in " << length;
            ASSERT_EQ(want.spaces, is_format_space(char(value)) ? 1u : 0u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, HexPaths, ::testing::ValuesIn(kHexPaths),
                         [](const auto& info) { return std::string(hex_path_name(info.param)); });

}  // namespace
}  // namespace tarnel

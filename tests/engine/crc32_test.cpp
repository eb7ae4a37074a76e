// SPDX-License-Identifier: MIT
// The CRC-32 that builds without zlib take gives zlib's crc32() for any bytes,
// whole or continued piece by piece, so their keys are the same keys.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "crc32.h"

namespace tarnel {
namespace {

uint32_t zlib_crc(uint32_t crc, const std::vector<unsigned char>& bytes, std::size_t from,
                  std::size_t size) {
    return uint32_t(crc32(crc, bytes.data() + from, uInt(size)));
}

TEST(Crc32, KnownValues) {
    const unsigned char digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc32_update(0, digits, sizeof digits), 0xCBF43926u);  // the standard check value
    EXPECT_EQ(crc32_update(0, nullptr, 0), 0u);
}

TEST(Crc32, EqualsZlibForRandomBytesAndLengthsWholeAndInPieces) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; ++round) {
        std::vector<unsigned char> bytes(random() % 5000);
        for (unsigned char& byte : bytes)
            byte = static_cast<unsigned char>(random());
        const uint32_t start = round % 3 == 0 ? 0 : uint32_t(random());
        ASSERT_EQ(crc32_update(start, bytes.data(), bytes.size()),
                  zlib_crc(start, bytes, 0, bytes.size()))
            << bytes.size() << " bytes";
        // Continued a byte at a time, as the key is derived, and in random pieces.
        uint32_t ours = start, theirs = start;
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t size = std::min<std::size_t>(bytes.size() - at, random() % 40);
            ours = crc32_update(ours, bytes.data() + at, size);
            theirs = zlib_crc(theirs, bytes, at, size);
            ASSERT_EQ(ours, theirs) << "at " << at;
            at += size;
        }
    }
}

}  // namespace
}  // namespace tarnel

// SPDX-License-Identifier: MIT
// The block cipher's tables, key set-up, direction bits and block operations.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>

#include "tarnel/rijndael.h"

namespace tarnel {
namespace {

using Block = std::array<uint8_t, 32>;

uint8_t gf_mul(uint8_t a, uint8_t b) {
    uint8_t product = 0;
    for (; b != 0; b >>= 1) {
        if (b & 1)
            product ^= a;
        a = uint8_t((a << 1) ^ ((a & 0x80) ? 0x1b : 0));
    }
    return product;
}

std::array<uint8_t, 32> key_bytes(uint8_t seed) {
    std::array<uint8_t, 32> key{};
    for (int i = 0; i < 32; ++i)
        key[i] = uint8_t(seed * 31 + i * 7);
    return key;
}

RijndaelContext fresh() {
    RijndaelContext ctx;
    std::memset(&ctx, 0xA5, sizeof ctx);  // stale contents, as in a reused record
    ctx.flags = 0;
    return ctx;
}

TEST(RijndaelTables, RebuiltFromTheirDefinitions) {
    for (int a = 0; a < 256; ++a) {
        uint8_t inverse = 0;
        for (int b = 1; b < 256 && a != 0; ++b) {
            if (gf_mul(uint8_t(a), uint8_t(b)) == 1)
                inverse = uint8_t(b);
        }
        uint8_t s = inverse;
        for (int i = 1; i <= 4; ++i)
            s ^= uint8_t((inverse << i) | (inverse >> (8 - i)));
        s ^= 0x63;
        EXPECT_EQ(rijndael_sbox[a], s) << a;
        EXPECT_EQ(rijndael_inv_sbox[s], a) << a;
    }
    uint8_t power = 1;
    for (int i = 0; i < 29; ++i) {
        EXPECT_EQ(rijndael_rcon[i], uint32_t(power)) << i;
        power = gf_mul(power, 2);
    }
}

TEST(RijndaelKeySetup, AcceptsSixteenTwentyFourAndThirtyTwoBytes) {
    const auto key = key_bytes(1);
    for (uint32_t length : {16u, 24u, 32u}) {
        RijndaelContext ctx = fresh();
        ASSERT_EQ(rijndael_set_key(key.data(), length, RIJNDAEL_ENCRYPT, &ctx), 1) << length;
        EXPECT_EQ(ctx.key_words, length / 4);
        EXPECT_EQ(ctx.rounds, 14u);
        // The key itself opens the schedule; the unused tail is never written.
        for (uint32_t i = 0; i < length / 4; ++i) {
            uint32_t word;
            std::memcpy(&word, key.data() + 4 * i, 4);
            EXPECT_EQ(ctx.enc_schedule[i], word);
        }
        for (int i = 120; i < 128; ++i)
            EXPECT_EQ(ctx.enc_schedule[i], 0xA5A5A5A5u) << i;
    }
}

TEST(RijndaelKeySetup, RefusesOtherLengthsAndForgetsEarlierKeying) {
    const auto key = key_bytes(2);
    std::vector<uint32_t> refused = {0, 8, 12, 20, 28, 40, 64};
    for (uint32_t length = 1; length < 40; ++length) {
        if (length % 8 != 0)
            refused.push_back(length);
    }
    for (uint32_t length : refused) {
        RijndaelContext ctx = fresh();
        ctx.flags = 0xFC;
        ASSERT_EQ(rijndael_set_key(key.data(), 32, RIJNDAEL_ENCRYPT | RIJNDAEL_DECRYPT, &ctx), 1);
        const RijndaelContext before = ctx;
        ASSERT_EQ(rijndael_set_key(key.data(), length, RIJNDAEL_ENCRYPT | RIJNDAEL_DECRYPT, &ctx),
                  0)
            << length;
        EXPECT_EQ(ctx.flags, 0xFC) << "only the direction bits are cleared";
        EXPECT_EQ(ctx.key_words, before.key_words);
        EXPECT_EQ(0, std::memcmp(ctx.enc_schedule, before.enc_schedule, sizeof ctx.enc_schedule));
        EXPECT_EQ(0, std::memcmp(ctx.dec_schedule, before.dec_schedule, sizeof ctx.dec_schedule));
        Block block{}, out{};
        out.fill(0x5A);
        EXPECT_EQ(rijndael_encrypt_block(block.data(), out.data(), &ctx), 0);
        EXPECT_EQ(rijndael_decrypt_block(block.data(), out.data(), &ctx), 0);
        EXPECT_EQ(out[0], 0x5A);
    }
}

TEST(RijndaelKeySetup, OnlyTheTwoDirectionBitsCount) {
    const auto key = key_bytes(3);
    RijndaelContext ctx = fresh();
    EXPECT_EQ(rijndael_set_key(key.data(), 32, 4, &ctx), 0);
    EXPECT_EQ(ctx.flags, 0);
    EXPECT_EQ(rijndael_set_key(key.data(), 32, 5, &ctx), 1);
    EXPECT_EQ(ctx.flags, RIJNDAEL_ENCRYPT);
    EXPECT_EQ(rijndael_set_key(key.data(), 32, 7, &ctx), 1);
    EXPECT_EQ(ctx.flags, RIJNDAEL_ENCRYPT | RIJNDAEL_DECRYPT);
    ctx.flags |= 0x80;
    EXPECT_EQ(rijndael_set_key(key.data(), 32, RIJNDAEL_DECRYPT, &ctx), 1);
    EXPECT_EQ(ctx.flags, 0x80 | RIJNDAEL_DECRYPT) << "bits 2 to 7 are left alone";
}

TEST(RijndaelKeySetup, EncryptOnlyLeavesTheDecryptionScheduleAlone) {
    const auto key = key_bytes(4);
    RijndaelContext ctx = fresh();
    ASSERT_EQ(rijndael_set_key(key.data(), 32, RIJNDAEL_ENCRYPT, &ctx), 1);
    for (uint32_t word : ctx.dec_schedule)
        EXPECT_EQ(word, 0xA5A5A5A5u);
}

TEST(RijndaelKeySetup, DecryptionScheduleIsTheReversedEncryptionSchedule) {
    const auto key = key_bytes(5);
    for (uint32_t length : {16u, 24u, 32u}) {
        RijndaelContext ctx = fresh();
        ASSERT_EQ(rijndael_set_key(key.data(), length, RIJNDAEL_ENCRYPT | RIJNDAEL_DECRYPT, &ctx),
                  1);
        for (int r = 0; r <= 14; ++r) {
            for (int c = 0; c < 8; ++c) {
                EXPECT_EQ(ctx.dec_schedule[8 * r + c], ctx.enc_schedule[8 * (14 - r) + c]);
            }
        }
    }
}

TEST(RijndaelBlocks, RefuseTheDirectionTheyWereNotKeyedFor) {
    const auto key = key_bytes(6);
    Block source{}, out;
    out.fill(0x33);
    RijndaelContext dec_only = fresh();
    ASSERT_EQ(rijndael_set_key(key.data(), 32, RIJNDAEL_DECRYPT, &dec_only), 1);
    const RijndaelContext before = dec_only;
    EXPECT_EQ(rijndael_encrypt_block(source.data(), out.data(), &dec_only), 0);
    EXPECT_EQ(rijndael_decrypt_block(source.data(), out.data(), &dec_only), 1);
    EXPECT_EQ(0, std::memcmp(&before, &dec_only, sizeof before))
        << "blocks never change the context";

    RijndaelContext enc_only = fresh();
    ASSERT_EQ(rijndael_set_key(key.data(), 32, RIJNDAEL_ENCRYPT, &enc_only), 1);
    out.fill(0x33);
    EXPECT_EQ(rijndael_decrypt_block(source.data(), out.data(), &enc_only), 0);
    Block untouched;
    untouched.fill(0x33);
    EXPECT_EQ(out, untouched) << "a refused block operation writes nothing";
}

TEST(RijndaelBlocks, InPlaceMatchesSeparateBuffersAndRoundTrips) {
    std::mt19937 random(20261207);
    for (uint32_t length : {16u, 24u, 32u}) {
        for (int trial = 0; trial < 50; ++trial) {
            std::array<uint8_t, 32> key;
            Block plain;
            for (auto& b : key)
                b = uint8_t(random());
            for (auto& b : plain)
                b = uint8_t(random());
            RijndaelContext ctx = fresh();
            ASSERT_EQ(
                rijndael_set_key(key.data(), length, RIJNDAEL_ENCRYPT | RIJNDAEL_DECRYPT, &ctx), 1);
            Block cipher{}, in_place = plain;
            ASSERT_EQ(rijndael_encrypt_block(plain.data(), cipher.data(), &ctx), 1);
            ASSERT_EQ(rijndael_encrypt_block(in_place.data(), in_place.data(), &ctx), 1);
            EXPECT_EQ(cipher, in_place);
            EXPECT_NE(cipher, plain);
            Block back{};
            ASSERT_EQ(rijndael_decrypt_block(cipher.data(), back.data(), &ctx), 1);
            ASSERT_EQ(rijndael_decrypt_block(in_place.data(), in_place.data(), &ctx), 1);
            EXPECT_EQ(back, plain);
            EXPECT_EQ(in_place, plain);
        }
    }
}

}  // namespace
}  // namespace tarnel

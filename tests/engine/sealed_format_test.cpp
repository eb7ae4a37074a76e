// SPDX-License-Identifier: MIT
// Judging texts and bodies: trimming, the envelope, the decoder's reading of a
// body and the damage report, one defect at a time.
#include <gtest/gtest.h>

#include <string>

#include "body_layout.h"
#include "tarnel/sealed_format.h"

namespace tarnel {
namespace {

// `text` with `piece` put in before position `at`. (Built by concatenation: GCC 12
// at -O3 warns falsely about std::string::insert with a literal.)
std::string with(const std::string& text, std::size_t at, std::string_view piece) {
    return text.substr(0, at) + std::string(piece) + text.substr(at);
}

// A well-formed body of `blocks` blocks: digits that a seal could have made.
std::string body_of(uint32_t blocks) {
    std::string body(64 * blocks, '7');
    char trailer[11];
    std::snprintf(trailer, sizeof trailer, "%010u", ~blocks);
    return body + trailer;
}

TEST(TrimText, RemovesTheSixSpaceCharactersAtBothEndsOnly) {
    EXPECT_EQ(trim_text(" \t\n\v\f\rab c\r\n \t"), "ab c");
    EXPECT_EQ(trim_text("\r\n\r\n"), "");
    EXPECT_EQ(trim_text(""), "");
    EXPECT_EQ(trim_text(std::string_view("\0x\0", 3)), std::string_view("\0x\0", 3))
        << "a zero byte is not white space";
    EXPECT_EQ(trim_text("\xa0x\xa0"), "\xa0x\xa0") << "no-break space is not trimmed";
}

TEST(IsSealedText, NeedsBothEnvelopesWithoutOverlap) {
    EXPECT_TRUE(is_sealed_text("{{}}"));
    EXPECT_TRUE(is_sealed_text("{{abc}}"));
    EXPECT_FALSE(is_sealed_text("{{}"));
    EXPECT_FALSE(is_sealed_text("{}}"));
    EXPECT_FALSE(is_sealed_text("{{x"));
    EXPECT_FALSE(is_sealed_text("x}}"));
    EXPECT_FALSE(is_sealed_text(""));
    EXPECT_FALSE(is_sealed_text(" {{}}")) << "the caller trims first";
}

TEST(SealedLengths, FollowTheBlockCount) {
    EXPECT_EQ(sealed_block_count(0), 1u);
    EXPECT_EQ(sealed_block_count(31), 1u);
    EXPECT_EQ(sealed_block_count(32), 2u);
    EXPECT_EQ(sealed_block_count(33), 2u);
    EXPECT_EQ(sealed_text_length(0), 78u);
    EXPECT_EQ(sealed_text_length(32), 142u);
    EXPECT_EQ(sealed_block_count(kMaxPlainLength), 0xFFFFFFFFu);
}

TEST(AnalyseBody, ReadsWellFormedBodies) {
    for (uint32_t blocks : {1u, 2u, 5u}) {
        const BodyLayout layout = analyse_body(body_of(blocks));
        EXPECT_EQ(layout.hex_chars, 64u * blocks);
        EXPECT_EQ(layout.trailer_blocks, blocks);
        EXPECT_EQ(layout.blocks, blocks);
        EXPECT_EQ(layout.hex_end, 64u * blocks);
    }
}

TEST(AnalyseBody, NeverDecodesMoreBlocksThanTheHexReaches) {
    // An empty body, "{{}}": no digits read as 0, whose complement asks for 2^32 - 1 blocks.
    BodyLayout layout = analyse_body("");
    EXPECT_EQ(layout.trailer_blocks, 0xFFFFFFFFu);
    EXPECT_EQ(layout.blocks, 0u);
    // A zero trailer on a short body.
    layout = analyse_body(std::string(64, 'a') + "0000000000");
    EXPECT_EQ(layout.blocks, 1u);
    // A trailer of non-digits.
    layout = analyse_body(std::string(70, 'a') + "zzzzzzzzzz");
    EXPECT_EQ(layout.trailer_value, 0u);
    EXPECT_EQ(layout.blocks, 2u) << "35 complete pairs reach into a second block";
    // A trailer of 4294967295 asks for none.
    layout = analyse_body(std::string(640, 'a') + "4294967295");
    EXPECT_EQ(layout.blocks, 0u);
    // An odd hex count: the unpaired digit does not reach a new block.
    layout = analyse_body(std::string(65, 'a') + "0000000000");
    EXPECT_EQ(layout.blocks, 1u);
    layout = analyse_body(std::string(66, 'a') + "0000000000");
    EXPECT_EQ(layout.blocks, 2u);
}

TEST(AnalyseBody, ReadsTheTrailerAsTheCLibraryDoes) {
    EXPECT_EQ(analyse_body("+000000001").trailer_value, 1u);
    EXPECT_EQ(analyse_body("-000000001").trailer_value, 0xFFFFFFFFu);
    EXPECT_EQ(analyse_body("12345x7890").trailer_value, 12345u);
    EXPECT_EQ(analyse_body("9999999999").trailer_value, uint32_t(9999999999ull % 4294967296ull));
    EXPECT_EQ(analyse_body("42").trailer_value, 42u) << "a short body is all trailer";
}

TEST(AnalyseBody, SkipsWhiteSpaceAnywhere) {
    std::string wrapped = body_of(2);
    for (std::size_t at = 76; at > 0; at -= 19)
        wrapped = with(wrapped, at, "\r\n");
    wrapped = with(wrapped, wrapped.size() - 3, " \t");
    const BodyLayout layout = analyse_body(wrapped);
    EXPECT_EQ(layout.hex_chars, 128u);
    EXPECT_EQ(layout.trailer_blocks, 2u);
    EXPECT_EQ(layout.blocks, 2u);
}

TEST(InspectBody, WellFormedAndWrappedBodiesShowNoDamage) {
    EXPECT_FALSE(inspect_body(body_of(1)).any());
    EXPECT_FALSE(inspect_body(body_of(3)).any());
    std::string wrapped = body_of(3);
    wrapped = with(with(wrapped, 100, "\n"), 10, "\r\n");
    EXPECT_FALSE(inspect_body(wrapped).any());
}

TEST(InspectBody, NamesEachDefect) {
    std::string body = body_of(2);
    body.pop_back();
    body += 'x';  // one trailer character
    BodyDamage damage = inspect_body(body);
    EXPECT_TRUE(damage.bad_trailer);
    EXPECT_FALSE(damage.bad_digits);
    EXPECT_FALSE(damage.partial_block);

    body = body_of(2);
    body[5] = 'A';  // one upper-case digit
    damage = inspect_body(body);
    EXPECT_TRUE(damage.bad_digits);
    EXPECT_FALSE(damage.bad_trailer);
    EXPECT_FALSE(damage.count_mismatch);

    body = body_of(2);
    body.erase(0, 1);  // one digit lost
    damage = inspect_body(body);
    EXPECT_TRUE(damage.partial_block);
    EXPECT_TRUE(damage.count_mismatch);
    EXPECT_FALSE(damage.bad_trailer);

    body = body_of(2);
    body[body.size() - 1] = '2';  // trailer says one block more: 4294967292
    damage = inspect_body(body);
    EXPECT_TRUE(damage.count_mismatch);
    EXPECT_FALSE(damage.partial_block);
    EXPECT_FALSE(damage.bad_trailer);

    EXPECT_TRUE(inspect_body("").bad_trailer);
}

TEST(LooksGenuine, FirstZeroInTheLastBlockAndOnlyZerosAfter) {
    std::string buffer(64, 'x');
    EXPECT_FALSE(looks_genuine(buffer)) << "no zero at all";
    buffer[40] = '\0';
    EXPECT_FALSE(looks_genuine(buffer)) << "noise after the zero";
    for (std::size_t i = 40; i < 64; ++i)
        buffer[i] = '\0';
    EXPECT_TRUE(looks_genuine(buffer));
    buffer[20] = '\0';
    EXPECT_FALSE(looks_genuine(buffer)) << "first zero in an earlier block";
    EXPECT_TRUE(looks_genuine(std::string(32, '\0'))) << "the empty text";
    EXPECT_FALSE(looks_genuine("")) << "no blocks at all";
    std::string last_byte(32, 'y');
    last_byte[31] = '\0';
    EXPECT_TRUE(looks_genuine(last_byte));
}

}  // namespace
}  // namespace tarnel

// SPDX-License-Identifier: MIT
#include "tarnel/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

namespace {

using tarnel::convert_password_in_place;
using tarnel::is_valid_utf8;
using tarnel::password_bytes;
using tarnel::utf8_to_windows1252;
using tarnel::windows1252_to_utf8;

TEST(Windows1252, EveryByteComesBackFromUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(char(b));
    const auto text = windows1252_to_utf8(all);
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(is_valid_utf8(*text));
    EXPECT_EQ(utf8_to_windows1252(*text), all);
}

TEST(Windows1252, BytesBecomeTheirCharacters) {
    EXPECT_EQ(windows1252_to_utf8("\x80"), "\u20AC");
    EXPECT_EQ(windows1252_to_utf8("\x9F"), "\u0178");
    EXPECT_EQ(windows1252_to_utf8("\x99"), "\u2122");
    EXPECT_EQ(windows1252_to_utf8("caf\xE9"), "caf\u00E9");
    // The undefined bytes stand for the C1 controls of the same value.
    EXPECT_EQ(windows1252_to_utf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(windows1252_to_utf8(""), "");
}

TEST(Windows1252, CharactersWithoutAFormAreRefused) {
    EXPECT_EQ(utf8_to_windows1252("\u03A9"), std::nullopt);        // Greek capital omega
    EXPECT_EQ(utf8_to_windows1252("ok\U0001F600"), std::nullopt);  // beyond the BMP
    // U+0080 is a C1 control whose byte is taken by the euro sign.
    EXPECT_EQ(utf8_to_windows1252("\u0080"), std::nullopt);
    EXPECT_EQ(utf8_to_windows1252("\u20AC\u2019"), "\x80\x92");
}

TEST(Utf8, MalformedSequencesAreInvalid) {
    EXPECT_FALSE(is_valid_utf8("\xC3"));              // cut short
    EXPECT_FALSE(is_valid_utf8("\xC0\xAF"));          // overlong '/'
    EXPECT_FALSE(is_valid_utf8("\xE0\x80\xAF"));      // overlong, three bytes
    EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));      // a surrogate
    EXPECT_FALSE(is_valid_utf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(is_valid_utf8("\x80"));              // a lone continuation byte
    EXPECT_FALSE(is_valid_utf8("\xC3\x28"));          // lead byte without continuation
    EXPECT_EQ(utf8_to_windows1252("\xC3"), std::nullopt);
}

TEST(Utf8, BoundaryCharactersAreValid) {
    EXPECT_TRUE(is_valid_utf8(""));
    EXPECT_TRUE(is_valid_utf8("\xC2\x80"));
    EXPECT_TRUE(is_valid_utf8("\xE0\xA0\x80"));
    EXPECT_TRUE(is_valid_utf8("\xED\x9F\xBF"));  // just below the surrogates
    EXPECT_TRUE(is_valid_utf8("\xEF\xBF\xBF"));
    EXPECT_TRUE(is_valid_utf8("\xF0\x90\x80\x80"));
    EXPECT_TRUE(is_valid_utf8("\xF4\x8F\xBF\xBF"));  // U+10FFFF
}

TEST(PasswordBytes, TypedCharactersBecomeWindows1252Bytes) {
    EXPECT_EQ(password_bytes("\u00E9"), "\xE9");
    EXPECT_EQ(password_bytes("\u20AC"), "\x80");
    EXPECT_EQ(password_bytes("p\u00E4ssw\u00F6rd\u20AC"), "p\xE4ssw\xF6rd\x80");
    EXPECT_EQ(password_bytes("plain ascii"), "plain ascii");
}

TEST(PasswordBytes, OtherPasswordsKeepTheirBytes) {
    // Not valid UTF-8: already Windows-1252 bytes.
    EXPECT_EQ(password_bytes("\xE9t\xE9"), "\xE9t\xE9");
    // A character without a Windows-1252 form.
    EXPECT_EQ(password_bytes("\u03A9mega"), "\u03A9mega");
    // "Ã©" would become C3 A9, which is UTF-8 for "é": the typed bytes were meant.
    EXPECT_EQ(password_bytes("\u00C3\u00A9"), "\u00C3\u00A9");
    EXPECT_EQ(password_bytes(""), "");
}

// A pasted or saved password counts alike everywhere: its first line, no mark.
TEST(PasswordBytes, OnlyTheFirstLineCountsLessALeadingByteOrderMark) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"\uFEFFpw", "pw"},
        {"pw\nrest", "pw"},
        {"pw\r\nrest", "pw"},
        {"pw\rrest", "pw"},
        {"pw\u2028rest", "pw"},
        {"pw\u2029rest", "pw"},
        {"\uFEFF\u00E9\n", "\xE9"},
        {"\nrest", ""},
        {"\uFEFF", ""},
        {"p\uFEFFw", "p\uFEFFw"},
        {"\uFEFF\uFEFFw", "\uFEFFw"},
        {"\xE9\r\n\xE9", "\xE9"},
    };
    for (const auto& [typed, key] : cases)
        EXPECT_EQ(password_bytes(typed), key) << typed;
}

TEST(PasswordBytes, InPlaceConversionShrinksTheString) {
    std::string password = "\u20AC\u20AC\u00E9";
    convert_password_in_place(password);
    EXPECT_EQ(password, "\x80\x80\xE9");
}

}  // namespace

// SPDX-License-Identifier: MIT
// The characters of the text box and the bytes the engine seals.
#include <gtest/gtest.h>

#include "box_text.h"

namespace tarnel::app {
namespace {

TEST(ToEngineBytes, UsesWindows1252WhereEveryCharacterHasAForm) {
    EXPECT_EQ(ToEngineBytes("plain ASCII\r\n"), "plain ASCII\r\n");
    EXPECT_EQ(ToEngineBytes("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80");
    EXPECT_EQ(ToEngineBytes("\xC2\xA0"), "\xA0");
}

TEST(ToEngineBytes, KeepsUtf8ForOtherScripts) {
    EXPECT_EQ(ToEngineBytes("\xD0\x96 and \xC3\xA9"), "\xD0\x96 and \xC3\xA9");
    EXPECT_EQ(ToEngineBytes("\xF0\x9F\x94\x92"), "\xF0\x9F\x94\x92");
}

TEST(ToEngineBytes, KeepsUtf8WhenTheWindows1252BytesWouldReadAsUtf8) {
    // "Ã©" is C3 A9 in Windows-1252, which UTF-8 reads as "é": sealing those bytes
    // would open as another text, so the text stays UTF-8.
    EXPECT_EQ(ToEngineBytes("\xC3\x83\xC2\xA9"), "\xC3\x83\xC2\xA9");
}

TEST(ToEngineBytes, KeepsANulForTheEngineToRefuse) {
    EXPECT_EQ(ToEngineBytes(std::string_view("a\0\xC3\xA9", 4)), std::string("a\0\xE9", 3));
    EXPECT_EQ(ToEngineBytes(std::string_view("\0\xD0\x96", 3)), std::string("\0\xD0\x96", 3));
}

TEST(FromEngineBytes, ShowsUtf8AsItIsAndAnythingElseAsWindows1252) {
    EXPECT_EQ(FromEngineBytes("\xD0\x96"), "\xD0\x96");
    EXPECT_EQ(FromEngineBytes("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(FromEngineBytes(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(BoxText, EveryTextComesBack) {
    const char* texts[] = {
        "", "x", "Caf\xC3\xA9", "\xD0\x96", "\xC3\x83\xC2\xA9", "\xE2\x80\x9Cq\xE2\x80\x9D"};
    for (const char* text : texts)
        EXPECT_EQ(FromEngineBytes(ToEngineBytes(text)), text) << text;
}

}  // namespace
}  // namespace tarnel::app

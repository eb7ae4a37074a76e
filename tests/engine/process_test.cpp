// SPDX-License-Identifier: MIT
// The process command: trimming, the password check, the choice of direction.
#include <gtest/gtest.h>

#include "tarnel/process.h"

namespace tarnel {
namespace {

using Kind = ProcessOutcome::Kind;

std::string run(std::string_view password, std::string_view text) {
    const ProcessOutcome outcome = ProcessText(password, text);
    EXPECT_EQ(outcome.kind, Kind::NewText);
    return outcome.text;
}

TEST(ProcessText, EmptyPasswordGivesTheMessageWhateverTheText) {
    for (std::string_view text : {"", "plain", "{{}}", "  \r\n"}) {
        const ProcessOutcome outcome = ProcessText("", text);
        EXPECT_EQ(outcome.kind, Kind::Message);
        EXPECT_EQ(outcome.text, "Please Enter the Password to Process");
    }
    EXPECT_EQ(ProcessText(" ", "x").kind, Kind::NewText) << "a space is a password";
}

TEST(ProcessText, RefusesANulThatWouldChangeTheKeyOrCutTheText) {
    using namespace std::string_literals;
    for (const std::string& password : {"\0"s, "pw\0"s, "\0pw"s, "pass\0word"s}) {
        for (std::string_view text : {"plain", "{{}}"}) {
            const ProcessOutcome outcome = ProcessText(password, text);
            EXPECT_EQ(outcome.kind, Kind::Message);
            EXPECT_EQ(outcome.text, "The password holds a NUL character.");
        }
    }
    EXPECT_EQ(ProcessText("", "\0"s).text, "Please Enter the Password to Process")
        << "the empty password is named first";
    for (const std::string& text : {"\0"s, "a\0b"s, "  text\0\r\n"s, "{{ \0 }"s}) {
        for (const ProcessDirection direction :
             {ProcessDirection::ByEnvelope, ProcessDirection::Seal}) {
            const ProcessOutcome outcome = ProcessText("pw", text, direction);
            EXPECT_EQ(outcome.kind, Kind::Message);
            EXPECT_EQ(outcome.text,
                      "The text holds a NUL character, which a sealed text cannot keep.");
        }
    }
    EXPECT_EQ(ProcessText("pw", " \0 "s).kind, Kind::Message) << "trimming stops at a NUL";
    // A sealed text is opened by the body's own rules, NUL or not.
    EXPECT_EQ(ProcessText("pw", "{{\0}}"s).kind, Kind::NewText);
}

TEST(ProcessText, EmptyTextIsSealedIntoOneBlock) {
    const std::string sealed = run("pw", "");
    ASSERT_EQ(sealed.size(), 78u);
    EXPECT_EQ(sealed.substr(0, 2), "{{");
    EXPECT_EQ(sealed.substr(66), "4294967294}}");
    EXPECT_EQ(run("pw", sealed), "");
}

TEST(ProcessText, TrimsBeforeAnythingElse) {
    EXPECT_EQ(run("pw", "note\r\n"), run("pw", "note"));
    EXPECT_EQ(run("pw", " \t note \v\f"), run("pw", "note"));
    const std::string sealed = run("pw", "line one\r\nline two");
    EXPECT_EQ(run("pw", "\r\n\r\n" + sealed + "\r\n  \r\n"), "line one\r\nline two");
}

TEST(ProcessText, PasswordIsNotTrimmed) {
    const std::string sealed = run("pw ", "text");
    EXPECT_NE(run("pw", sealed), "text");
    EXPECT_EQ(run("pw ", sealed), "text");
}

TEST(ProcessText, TwicePressedGivesBackTheTrimmedText) {
    for (std::string_view text :
         {"a", "  spaced out  ", "x\r\ny", "{{ only opens", "only closes }}"}) {
        const std::string sealed = run("key", text);
        EXPECT_EQ(sealed.substr(0, 2), "{{") << text;
        EXPECT_EQ(run("key", sealed), trim_text(text)) << text;
    }
}

TEST(ProcessText, TheEnvelopeAloneChoosesTheDirection) {
    const ProcessOutcome braces = ProcessText("pw", "{{ this is not hex }}");
    EXPECT_EQ(braces.kind, Kind::NewText);
    EXPECT_FALSE(braces.sealed) << "a plain text in the envelope is opened, not sealed";
    EXPECT_TRUE(braces.damage.any());
    EXPECT_EQ(run("pw", "{{}}"), "") << "an empty body opens to the empty text";
    EXPECT_TRUE(ProcessText("pw", "{{}").sealed);
    EXPECT_TRUE(ProcessText("pw", "{}}").sealed);
}

TEST(ProcessText, ForcedDirections) {
    const ProcessOutcome refused = ProcessText("pw", "plain", ProcessDirection::Open);
    EXPECT_EQ(refused.kind, Kind::NotSealed);
    EXPECT_TRUE(refused.text.empty());
    const std::string sealed = run("pw", "plain");
    const ProcessOutcome twice = ProcessText("pw", sealed, ProcessDirection::Seal);
    EXPECT_TRUE(twice.sealed);
    EXPECT_EQ(run("pw", twice.text), sealed);
    EXPECT_EQ(ProcessText("", "plain", ProcessDirection::Open).kind, Kind::Message)
        << "the password check comes first";
}

TEST(ProcessText, ReportsWhetherAnOpenedTextLooksGenuine) {
    const std::string sealed = run("right", "the plain text");
    const ProcessOutcome good = ProcessText("right", sealed);
    EXPECT_TRUE(good.looks_genuine);
    EXPECT_FALSE(good.damage.any());
    int genuine_with_wrong_password = 0;
    for (int i = 0; i < 200; ++i) {
        genuine_with_wrong_password +=
            ProcessText("wrong" + std::to_string(i), sealed).looks_genuine;
    }
    EXPECT_LE(genuine_with_wrong_password, 5) << "about 0.35 percent pass by chance";
}

TEST(ProcessText, MatchesTheWorkedExampleOfTheFormatDocument) {
    const std::string sealed =
        "{{f046ca7ff00cca0ea60274fcb2ed2536ad6e58b1de27265e5bf355ad271f36574294967294}}";
    EXPECT_EQ(run("tarnel", "Hello, world"), sealed);
    EXPECT_EQ(run("tarnel", sealed), "Hello, world");
}

}  // namespace
}  // namespace tarnel

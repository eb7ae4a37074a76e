// SPDX-License-Identifier: MIT
// What Windows could change on the way: line breaks and Ctrl+Z in the standard
// streams, and file names beyond the ANSI code page.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "tarnel/process.h"

namespace tarnel::cli_test {
namespace {

std::string engine_seal(std::string_view password, std::string_view text) {
    const ProcessOutcome outcome = ProcessText(password, text, ProcessDirection::Seal);
    EXPECT_TRUE(outcome.sealed);
    return outcome.text;
}

TEST(Streams, BytesPassUnchangedAndASealedTextEndsInLf) {
    TempDir dir;
    std::string large;
    for (int i = 0; i < 20000; ++i)
        large += "line " + std::to_string(i) + "\r\n";
    const std::string texts[] = {
        "one\r\ntwo\nthree\rfour",
        std::string("before \x1a after, as a text-mode stream would end at it"),
        std::string("\xff\xfe high bytes \x80\x81 \x7f"),
        large,
    };
    for (const std::string& text : texts) {
        const RunResult sealed =
            run_cli({.args = with_password(dir, "garden", {"--bytes"}), .input = text});
        ASSERT_EQ(sealed.exit_status, 0) << sealed.err;
        EXPECT_EQ(sealed.out, engine_seal("garden", text) + "\n");
        EXPECT_EQ(sealed.err, "");

        const RunResult opened =
            run_cli({.args = with_password(dir, "garden", {"--bytes"}), .input = sealed.out});
        EXPECT_EQ(opened.exit_status, 0) << opened.err;
        EXPECT_EQ(opened.out, trim_text(text));
    }
}

TEST(Streams, AnOpenedTextHasTheSystemsLineBreaks) {
    TempDir dir;
    const RunResult sealed = run_cli(
        {.args = with_password(dir, "garden", {}), .input = "caf\xc3\xa9\nna\xc3\xafve\rend"});
    ASSERT_EQ(sealed.exit_status, 0) << sealed.err;
    EXPECT_EQ(sealed.out, engine_seal("garden", "caf\xe9\r\nna\xefve\r\nend") + "\n");
    const RunResult opened =
        run_cli({.args = with_password(dir, "garden", {}), .input = sealed.out});
    EXPECT_EQ(opened.exit_status, 0) << opened.err;
    EXPECT_EQ(opened.out, "caf\xc3\xa9\r\nna\xc3\xafve\r\nend");
}

TEST(Streams, APasswordLineOnStandardInputKeepsTheTextsCrLf) {
    const RunResult result =
        run_cli({.args = {"--password-fd", "0"}, .input = "pw\r\nfirst\r\nsecond"});
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.out, engine_seal("pw", "first\r\nsecond") + "\n");
}

std::wstring native(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()))
        .make_preferred()
        .wstring();
}

TEST(Streams, RedirectedByTheCommandShellBytesPassUnchanged) {
    // The shell hands over bare handles, which the runtime would open in text mode;
    // the runner's pipes come with the runtime's own flags and cannot show it.
    TempDir dir;
    const std::string text = "one\r\ntwo\x1a three";
    write_file(dir.path("in"), text);
    write_file(dir.path("pw"), "pw\n");
    const std::wstring command = L"\"\"" + native(TARNEL_CLI_PATH) + L"\" --password-file \"" +
                                 native(dir.path("pw")) + L"\" < \"" + native(dir.path("in")) +
                                 L"\" > \"" + native(dir.path("out")) + L"\"\"";
    ASSERT_EQ(_wsystem(command.c_str()), 0);
    EXPECT_EQ(read_file(dir.path("out")), engine_seal("pw", text) + "\n");
}

// Spaces for the command line's quoting, and characters of no ANSI code page.
const std::string kText =
    "Gr\xC3\xBC\xC3\x9F"
    "e \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xF0\x9F\x94\x92.txt";
const std::string kPassword = "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C";
const std::string kSealed = "versiegelt \xC3\xA9\xE2\x82\xAC.sealed";

TEST(FileNames, TextPasswordAndOutputMayHaveAnyName) {
    TempDir dir;
    write_file(dir.path(kText), "Meet me at noon.\r\n");
    write_file(dir.path(kPassword), "pw\n");
    const RunResult sealed = run_cli({.args = {"--password-file", dir.path(kPassword), "-o",
                                               dir.path(kSealed), dir.path(kText)}});
    ASSERT_EQ(sealed.exit_status, 0) << sealed.err;
    EXPECT_EQ(sealed.out, "");
    EXPECT_EQ(read_file(dir.path(kSealed)), engine_seal("pw", "Meet me at noon.\r\n") + "\n");
    // The temporary file went into place; nothing else is left.
    EXPECT_EQ(dir.names(), (std::vector<std::string>{kText, kSealed, kPassword}));

    const RunResult opened = run_cli({.args = {"--password-file", dir.path(kPassword), "-o",
                                               dir.path(kText), dir.path(kSealed)}});
    ASSERT_EQ(opened.exit_status, 0) << opened.err;
    EXPECT_EQ(read_file(dir.path(kText)), "Meet me at noon.");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{kText, kSealed, kPassword}));
}

TEST(FileNames, AMissingFileIsNamedInTheMessage) {
    TempDir dir;
    const RunResult result = run_cli({.args = with_password(dir, "pw", {dir.path(kText)})});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "tarnel-cli: cannot open " + dir.path(kText) + ": No such file or directory\n");
}

}  // namespace
}  // namespace tarnel::cli_test

// SPDX-License-Identifier: MIT
// Where the password comes from, and which bytes of it count.
#include <gtest/gtest.h>

#include <string>

#include "cli_runner.h"
#include "tarnel/process.h"

namespace tarnel::cli_test {
namespace {

constexpr const char* kText = "a text to seal";

std::string sealed_with(std::string_view password) {
    return ProcessText(password, kText, ProcessDirection::Seal).text + "\n";
}

// The password rule every program follows: the first line, less a byte-order mark.
TEST(PasswordFile, OnlyTheFirstLineCountsLessAByteOrderMark) {
    TempDir dir;
    const struct {
        std::string content;
        std::string password;
    } cases[] = {
        {"first\r\nsecond line\n", "first"},
        {"no line break", "no line break"},
        {"cr\r\r\n", "cr"},  // a lone CR ends a line too
        {" spaced \n", " spaced "},
        {"\xEF\xBB\xBFsaved by an editor\r\n", "saved by an editor"},
        {"line\u2028separated", "line"},
        {"para\u2029separated", "para"},
        {"caf\u00E9\n", "caf\xE9"},  // Windows-1252, as typed
    };
    for (const auto& c : cases) {
        write_file(dir.path("pw"), c.content);
        const RunResult result =
            run_cli({.args = {"--password-file", dir.path("pw")}, .input = kText});
        EXPECT_EQ(result.exit_status, 0) << result.err;
        EXPECT_EQ(result.out, sealed_with(c.password)) << c.content;
    }
}

TEST(PasswordFile, EmptyPasswordIsRefused) {
    TempDir dir;
    for (const std::string content : {"", "\n", "\r\nsecond", "\xEF\xBB\xBF\n"}) {
        write_file(dir.path("pw"), content);
        const RunResult result =
            run_cli({.args = {"--password-file", dir.path("pw")}, .input = kText});
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "tarnel-cli: Please Enter the Password to Process\n");
    }
}

TEST(PasswordFile, MissingFileFails) {
    TempDir dir;
    const RunResult result =
        run_cli({.args = {"--password-file", dir.path("absent")}, .input = kText});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.err.starts_with("tarnel-cli: cannot open the password file")) << result.err;
}

TEST(PasswordFd, ReadsTheFirstLineOfTheDescriptor) {
    const RunResult result = run_cli(
        {.args = {"--password-fd", "3"}, .input = kText, .extra_fds = {{3, "from fd\nrest"}}});
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.out, sealed_with("from fd"));
}

TEST(PasswordFd, StandardInputCarriesThePasswordLineThenTheText) {
    TempDir dir;
    const std::string input = std::string("pw\n") + kText;
    write_file(dir.path("in"), input);
    // A pipe is read byte by byte; a file is read ahead and set back.
    for (const Invocation& run :
         {Invocation{.args = {"--password-fd", "0"}, .input = input},
          Invocation{.args = {"--password-fd", "0"}, .stdin_path = dir.path("in")}}) {
        const RunResult result = run_cli(run);
        EXPECT_EQ(result.exit_status, 0) << result.err;
        EXPECT_EQ(result.out, sealed_with("pw"));
    }
}

TEST(PasswordFd, ClosedDescriptorFails) {
    const RunResult result = run_cli({.args = {"--password-fd", "7"}, .input = kText});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_TRUE(result.err.starts_with("tarnel-cli: cannot read the password from descriptor 7"))
        << result.err;
}

TEST(PasswordPrompt, WithoutATerminalFailsAtOnce) {
    const RunResult result = run_cli({.input = kText, .timeout_ms = 5000});
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("no terminal"), std::string::npos) << result.err;
}

TEST(PasswordBytes, TypedCharactersCountAsTheirWindows1252Bytes) {
    TempDir dir;
    const struct {
        std::string typed;
        std::string used;
    } cases[] = {
        {"\u00E9t\u00E9", "\xE9t\xE9"},    // UTF-8 "été"
        {"\xE9t\xE9", "\xE9t\xE9"},        // not UTF-8: already the bytes
        {"\u20AC", "\x80"},                // the euro sign
        {"\u00C3\u00A9", "\u00C3\u00A9"},  // its Windows-1252 form would read as "é"
        {"\u03A9", "\u03A9"},              // no Windows-1252 form
    };
    for (const auto& c : cases) {
        const RunResult result = run_cli({.args = with_password(dir, c.typed, {}), .input = kText});
        EXPECT_EQ(result.exit_status, 0) << result.err;
        EXPECT_EQ(result.out, sealed_with(c.used)) << c.typed;
    }
}

}  // namespace
}  // namespace tarnel::cli_test

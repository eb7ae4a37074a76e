// SPDX-License-Identifier: MIT
// What tarnel-cli refuses, what it warns about, and how it fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_runner.h"
#include "tarnel/process.h"
#include "tarnel/text_rule.h"

namespace tarnel::cli_test {
namespace {

std::string sealed_text(std::string_view password, std::string_view text) {
    return ProcessText(password, text, ProcessDirection::Seal).text;
}

// What tarnel-cli writes of an opened text: its bytes read as UTF-8 if they are,
// as Windows-1252 if not, as garbage from a wrong password or a damaged text is.
std::string opened_text(std::string_view password, std::string_view sealed) {
    return *bytes_to_text(ProcessText(password, sealed).text, LineBreak::Lf);
}

// A failure: exit status 1, nothing on standard output, one line on standard error.
void expect_failure(const RunResult& result, const std::string& says) {
    EXPECT_EQ(result.exit_status, 1) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.err.starts_with("tarnel-cli: ")) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
}

TEST(Refusals, ZeroByteIsNeverSealed) {
    TempDir dir;
    const RunResult result = run_cli({.args = with_password(dir, "pw", {"-o", dir.path("out")}),
                                      .input = std::string("a\0b", 3)});
    expect_failure(result, "zero byte");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"password"});
}

TEST(Refusals, OpenWantsASealedText) {
    TempDir dir;
    expect_failure(run_cli({.args = with_password(dir, "pw", {"--open"}), .input = "plain {{"}),
                   "not a sealed text");
}

TEST(Warnings, WrongPasswordStillWritesTheTextAndSaysSo) {
    TempDir dir;
    const std::string sealed = sealed_text("right", "a secret of some length");
    const RunResult result = run_cli({.args = with_password(dir, "wrong", {}), .input = sealed});
    EXPECT_EQ(result.exit_status, 3);
    EXPECT_EQ(result.out, opened_text("wrong", sealed));
    EXPECT_EQ(result.err,
              "tarnel-cli: warning: the result does not look like a text sealed with this "
              "password\n");
}

TEST(Warnings, EachKindOfDamageIsNamed) {
    TempDir dir;
    const std::string sealed = sealed_text("pw", "some text");  // one block
    const std::size_t trailer = sealed.size() - 2 - 10;
    const struct {
        std::string text;
        std::string says;
    } cases[] = {
        // 4294967294 -> 4294967293: two blocks claimed, one present.
        {sealed.substr(0, sealed.size() - 3) + "3}}", "its block count does not match its length"},
        {"{{g" + sealed.substr(3), "it holds characters other than 0-9 and a-f"},
        {sealed.substr(0, 4) + sealed.substr(6), "its hex digits do not make whole blocks"},
        {sealed.substr(0, trailer) + "x" + sealed.substr(trailer + 1),
         "it does not end in a ten-digit block count"},
    };
    for (const auto& c : cases) {
        const RunResult result = run_cli({.args = with_password(dir, "pw", {}), .input = c.text});
        EXPECT_EQ(result.exit_status, 3) << c.text;
        EXPECT_EQ(result.out, opened_text("pw", c.text));
        EXPECT_NE(result.err.find("tarnel-cli: warning: the sealed text is damaged: " + c.says),
                  std::string::npos)
            << result.err;
    }
}

TEST(Warnings, ASealedTextCutShortIsSealedAsItStandsAndSaysSo) {
    TempDir dir;
    const std::string sealed = sealed_text("pw", "a letter");
    const struct {
        std::string text;
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {sealed.substr(0, sealed.size() - 2) + "\n", {}, 3},
        {sealed.substr(0, 30), {}, 3},
        {sealed.substr(0, 30), {"--seal"}, 0},  // asked to seal: nothing to warn of
        {"{{ a plain text", {}, 0},
    };
    for (const auto& c : cases) {
        const RunResult result =
            run_cli({.args = with_password(dir, "pw", c.args), .input = c.text});
        EXPECT_EQ(result.exit_status, c.status) << c.text;
        EXPECT_EQ(result.out, sealed_text("pw", c.text) + "\n") << c.text;
        EXPECT_EQ(result.err, c.status == 0 ? ""
                                            : "tarnel-cli: warning: the text begins like a sealed "
                                              "text whose end is missing, and was sealed as it "
                                              "stands\n");
    }
}

TEST(OutputFailures, FullDeviceIsAnError) {
    TempDir dir;
    const RunResult result = run_cli(
        {.args = with_password(dir, "pw", {}), .input = "text", .stdout_path = "/dev/full"});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "tarnel-cli: cannot write standard output: No space left on device\n");
}

TEST(OutputFailures, ReaderThatWentAwayFailsQuietly) {
    TempDir dir;
    const RunResult result = run_cli({.args = with_password(dir, "pw", {}),
                                      .input = std::string(300000, 'q'),
                                      .close_stdout_early = true});
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "");
}

TEST(OutputFailures, FailedFileWriteLeavesTheTargetAsItWas) {
    TempDir dir;
    write_file(dir.path("target"), "old content");
    // The file size limit makes the write fail halfway, after the temporary file exists.
    const RunResult result = run_cli({.args = with_password(dir, "pw", {"-o", dir.path("target")}),
                                      .input = std::string(5000, 't'),
                                      .file_size_limit = 1024});
    expect_failure(result, "cannot write " + dir.path("target"));
    EXPECT_EQ(read_file(dir.path("target")), "old content");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"password", "target"}));

    const RunResult no_dir = run_cli(
        {.args = with_password(dir, "pw", {"-o", dir.path("absent/target")}), .input = "text"});
    expect_failure(no_dir, "cannot create a temporary file beside");
}

TEST(Usage, MistakesExitWithStatusTwo) {
    const std::vector<std::string> mistakes[] = {
        {"--bogus"},    {"-x"},
        {"one", "two"}, {"--seal", "--open"},
        {"-o"},         {"--password-fd", "x"},
        {"--seal=yes"}, {"--password-file", "a", "--password-fd", "3"},
        {"-o", ""},     {""},  // an empty name is no file, not standard input
    };
    for (const auto& args : mistakes) {
        const RunResult result = run_cli({.args = args});
        EXPECT_EQ(result.exit_status, 2) << args[0];
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.starts_with("tarnel-cli: ")) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    }
    // After "--" a name that looks like an option is a file.
    EXPECT_EQ(run_cli({.args = {"--password-file", "/dev/null", "--", "--bogus"}}).exit_status, 1);
}

TEST(Usage, HelpFitsOneScreenAndVersionNamesTheRelease) {
    const RunResult help = run_cli({.args = {"--help"}});
    EXPECT_EQ(help.exit_status, 0);
    std::size_t lines = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = help.out.find('\n', start)) != std::string::npos;
         start = end + 1) {
        ++lines;
        EXPECT_LE(end - start, 80u) << help.out.substr(start, end - start);
    }
    EXPECT_LE(lines, 24u);
    EXPECT_NE(help.out.find("Example"), std::string::npos);

    const RunResult version = run_cli({.args = {"--version"}});
    EXPECT_EQ(version.exit_status, 0);
    EXPECT_EQ(version.out, "tarnel-cli " TARNEL_VERSION "\n");
}

}  // namespace
}  // namespace tarnel::cli_test

// SPDX-License-Identifier: MIT
// Sealing and opening through pipes and files, compared with the engine itself.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "cli_runner.h"
#include "tarnel/process.h"

namespace tarnel::cli_test {
namespace {

std::string engine_seal(std::string_view password, std::string_view text) {
    const ProcessOutcome outcome = ProcessText(password, text, ProcessDirection::Seal);
    EXPECT_TRUE(outcome.sealed);
    return outcome.text;
}

mode_t mode_of(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

mode_t current_umask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

TEST(RoundTrip, PipesGiveTheEnginesSealedTextAndTheTrimmedTextBack) {
    TempDir dir;
    std::string large;
    for (int i = 0; i < 200000; ++i)
        large.push_back(char('a' + i % 26));
    const std::string texts[] = {
        "  Dear Ada,\n\nthe key is under the pot.\n\n", "x",
        std::string("bytes \x01\x7f\xff\xe9 as they are"),
        large,  // larger than the first read buffer
    };
    // Exact bytes, whatever they are.
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
        EXPECT_EQ(opened.err, "");
    }
}

TEST(RoundTrip, FilesAreWrittenWholeWithTheirPermissions) {
    TempDir dir;
    write_file(dir.path("letter.txt"), "Meet me at noon.\n");
    const RunResult sealed =
        run_cli({.args = with_password(dir, "pw",
                                       {"-o", dir.path("letter.sealed"), dir.path("letter.txt")})});
    ASSERT_EQ(sealed.exit_status, 0) << sealed.err;
    EXPECT_EQ(sealed.out, "");
    EXPECT_EQ(read_file(dir.path("letter.sealed")), engine_seal("pw", "Meet me at noon.") + "\n");
    EXPECT_EQ(mode_of(dir.path("letter.sealed")), 0666 & ~current_umask());

    // Opened in place: the input is read whole before the output replaces it.
    const RunResult opened = run_cli(
        {.args = with_password(
             dir, "pw", {"--open", "-o", dir.path("letter.sealed"), dir.path("letter.sealed")})});
    ASSERT_EQ(opened.exit_status, 0) << opened.err;
    EXPECT_EQ(read_file(dir.path("letter.sealed")), "Meet me at noon.");
    EXPECT_EQ(mode_of(dir.path("letter.sealed")), 0600);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"letter.sealed", "letter.txt", "password"}));
}

TEST(RoundTrip, EnvelopeChoosesTheDirectionUnlessSealIsGiven) {
    TempDir dir;
    const std::string sealed = engine_seal("pw", "inner");
    const RunResult twice =
        run_cli({.args = with_password(dir, "pw", {"--seal"}), .input = sealed});
    ASSERT_EQ(twice.exit_status, 0) << twice.err;
    EXPECT_EQ(twice.out, engine_seal("pw", sealed) + "\n");

    const RunResult once = run_cli({.args = with_password(dir, "pw", {}), .input = twice.out});
    EXPECT_EQ(once.exit_status, 0) << once.err;
    EXPECT_EQ(once.out, sealed);
}

TEST(RoundTrip, WrappedSealedTextOpensWithoutWarning) {
    TempDir dir;
    const std::string sealed = engine_seal("pw", std::string(100, 'w'));
    std::string wrapped;
    for (std::size_t i = 0; i < sealed.size(); i += 40)
        wrapped += sealed.substr(i, 40) + "\r\n";
    const RunResult opened = run_cli({.args = with_password(dir, "pw", {}), .input = wrapped});
    EXPECT_EQ(opened.exit_status, 0) << opened.err;
    EXPECT_EQ(opened.out, std::string(100, 'w'));
    EXPECT_EQ(opened.err, "");
}

TEST(LineBreaks, TextsAreSealedWithCrLfAndOpenedWithLfUnlessBytesAreAskedFor) {
    TempDir dir;
    // --crlf, the default's old name, gives what the default gives.
    for (const char* crlf : {"--crlf", "--seal"}) {
        const RunResult sealed =
            run_cli({.args = with_password(dir, "pw", {crlf}), .input = "one\ntwo\r\nthree\r\r\n"});
        ASSERT_EQ(sealed.exit_status, 0) << sealed.err;
        EXPECT_EQ(sealed.out, engine_seal("pw", "one\r\ntwo\r\nthree") + "\n");

        const RunResult text = run_cli({.args = with_password(dir, "pw", {}), .input = sealed.out});
        EXPECT_EQ(text.out, "one\ntwo\nthree");
        const RunResult bytes =
            run_cli({.args = with_password(dir, "pw", {"--bytes"}), .input = sealed.out});
        EXPECT_EQ(bytes.out, "one\r\ntwo\r\nthree");
    }
    // A lone CR or LF in a sealed text stays as it is.
    const std::string windows = engine_seal("pw", "a\r\nb\rc\n\r\nd");
    const RunResult lf_only =
        run_cli({.args = with_password(dir, "pw", {"--crlf"}), .input = windows});
    EXPECT_EQ(lf_only.exit_status, 0) << lf_only.err;
    EXPECT_EQ(lf_only.out, "a\nb\rc\n\nd");
    // Bytes as they are cannot also have their line breaks changed.
    for (const auto& args : {std::vector<std::string>{"--bytes", "--crlf"},
                             std::vector<std::string>{"--crlf", "--bytes"}}) {
        const RunResult refused = run_cli({.args = with_password(dir, "pw", args), .input = "x"});
        EXPECT_EQ(refused.exit_status, 2) << refused.err;
        EXPECT_NE(refused.err.find("--crlf cannot go with it"), std::string::npos) << refused.err;
    }
}

}  // namespace
}  // namespace tarnel::cli_test

// SPDX-License-Identifier: MIT
// A text in a regular file is sealed and opened in pieces; through a pipe it is
// read whole. Both must give the same output, exit
// status and messages, for genuine, wrapped, damaged and forged texts alike.
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_runner.h"
#include "tarnel/process.h"

namespace tarnel::cli_test {
namespace {

std::string sealed(std::string_view password, std::string_view text) {
    return ProcessText(password, text, ProcessDirection::Seal).text;
}

std::string wrapped(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); at += 76)
        out += text.substr(at, 76) + "\r\n";
    return out;
}

// Runs `args` on `text` from a file (as the path, and as standard input) and from
// a pipe; every way must agree.
void expect_file_and_pipe_agree(const TempDir& dir, const std::vector<std::string>& args,
                                const std::string& text, const std::string& what) {
    write_file(dir.path("input"), text);
    std::vector<std::string> with_path = args;
    with_path.push_back(dir.path("input"));
    const RunResult piped = run_cli({.args = args, .input = text});
    const RunResult from_path = run_cli({.args = with_path});
    const RunResult from_stdin = run_cli({.args = args, .stdin_path = dir.path("input")});
    for (const RunResult* file : {&from_path, &from_stdin}) {
        EXPECT_EQ(file->exit_status, piped.exit_status) << what << "\n" << file->err;
        // A diff of megabytes would take longer than the test may run.
        if (piped.out.size() < 65536)
            EXPECT_EQ(file->out, piped.out) << what;
        else
            EXPECT_TRUE(file->out == piped.out)
                << what << ": " << file->out.size() << " bytes against " << piped.out.size();
        EXPECT_EQ(file->err, piped.err) << what;
    }
    // To a file that replaces its target only once complete: an opened text is then
    // opened in one pass, unless the body holds white space.
    std::vector<std::string> to_file = with_path;
    to_file.insert(to_file.end() - 1, {"-o", dir.path("output")});
    ::unlink(dir.path("output").c_str());
    const RunResult replaced = run_cli({.args = to_file});
    EXPECT_EQ(replaced.exit_status, piped.exit_status) << what << "\n" << replaced.err;
    EXPECT_EQ(replaced.err, piped.err) << what;
    if (piped.exit_status == 0 || piped.exit_status == 3) {
        EXPECT_TRUE(read_file(dir.path("output")) == piped.out) << what;
    }
}

TEST(FileStream, SealsAndOpensAsTheWholeTextWay) {
    TempDir dir;
    std::string large;
    for (int i = 0; i < 300000; ++i)
        large.push_back(i % 61 == 60 ? '\n' : char('!' + i % 90));
    const std::string texts[] = {"", "  x  ", "Dear Ada,\n\nthe key is under the pot.\n",
                                 std::string("bytes \x01\x7f\xff as they are"), large};
    for (const std::string& text : texts) {
        for (const bool bytes : {false, true}) {
            std::vector<std::string> args = with_password(dir, "garden", {});
            if (bytes)
                args.push_back("--bytes");
            expect_file_and_pipe_agree(dir, args, text, "seal " + std::to_string(text.size()));
            const std::string body = sealed("garden", text);
            expect_file_and_pipe_agree(dir, args, "\n " + body + " \n",
                                       "open " + std::to_string(text.size()));
        }
    }
}

// Several megabytes: pieces of the file, split across the CPUs, with line ends
// converted where a piece or a part may cut a CR LF in two.
TEST(FileStream, TextsOfSeveralPiecesAgreeWithTheWholeTextWay) {
    TempDir dir;
    std::string text;
    for (int i = 0; text.size() < (9u << 20); ++i)
        text += "line " + std::to_string(i) + (i % 3 == 0 ? "\r\n" : "\n");
    const std::string body = sealed("garden", text);
    std::string stray = body;
    stray[stray.size() / 3] = 'G';
    for (const bool bytes : {false, true}) {
        std::vector<std::string> args = with_password(dir, "garden", {});
        if (bytes)
            args.push_back("--bytes");
        const std::string form = bytes ? ", bytes" : ", text";
        expect_file_and_pipe_agree(dir, args, text, "seal" + form);
        expect_file_and_pipe_agree(dir, args, body, "open" + form);
        expect_file_and_pipe_agree(dir, args, stray, "stray digit" + form);
    }
    expect_file_and_pipe_agree(dir, with_password(dir, "gardem", {}), body, "wrong password");
}

TEST(FileStream, DamagedAndForgedTextsOpenAsTheWholeTextWay) {
    TempDir dir;
    const std::string genuine = sealed("garden", std::string(5000, 'q') + "\r\nend");
    const std::string body = genuine.substr(2, genuine.size() - 4);
    std::string stray = body;
    stray[100] = 'G';
    std::string spaced_trailer = body;
    spaced_trailer.insert(spaced_trailer.size() - 5, "\n  ");
    const std::vector<std::string> bodies = {
        wrapped(genuine).substr(2, wrapped(genuine).size() - 6),
        body.substr(0, body.size() - 10 - 33) + body.substr(body.size() - 10),  // odd hex
        body.substr(0, 640) + body.substr(body.size() - 10),                    // short
        body.substr(0, body.size() - 10) + "0000000000",                        // asks for all
        body.substr(0, body.size() - 10) + "-000000003",                        // signed
        stray,
        spaced_trailer,
        "1234",
        "",
    };
    const std::vector<std::string> args = with_password(dir, "garden", {});
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        expect_file_and_pipe_agree(dir, args, "{{" + bodies[i] + "}}", "body " + std::to_string(i));
    }
    // A wrong password: a doubtful result, written all the same.
    expect_file_and_pipe_agree(dir, with_password(dir, "gardem", {}), genuine, "wrong password");
}

TEST(FileStream, RefusalsComeBeforeAnyOutput) {
    TempDir dir;
    const std::vector<std::string> args = with_password(dir, "garden", {});
    expect_file_and_pipe_agree(dir, args, std::string("zero \0 byte", 11), "zero byte");
    std::vector<std::string> open_args = args;
    open_args.push_back("--open");
    expect_file_and_pipe_agree(dir, open_args, "not sealed", "not sealed");
    expect_file_and_pipe_agree(dir, with_password(dir, "", {}), "text", "empty password");
}

// Bytes sealed to a file that is replaced only once complete take one pass: a
// zero byte far into the text is met after the output began, and leaves the file
// as it was, with nothing beside it.
TEST(FileStream, AZeroByteLateInAOnePassSealLeavesTheOutputAsItWas) {
    TempDir dir;
    std::string text(9 << 20, 'p');
    text[text.size() - 1000] = '\0';
    write_file(dir.path("input"), text);
    write_file(dir.path("output"), "kept");
    const RunResult result =
        run_cli({.args = with_password(dir, "garden",
                                       {"--bytes", "-o", dir.path("output"), dir.path("input")})});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_NE(result.err.find("zero byte"), std::string::npos) << result.err;
    EXPECT_EQ(read_file(dir.path("output")), "kept");
    EXPECT_EQ(dir.names().size(), 3u);  // input, output and the password file
}

TEST(FileStream, OutputFilesMatchTheWholeTextWay) {
    TempDir dir;
    const std::string text(100000, 'z');
    write_file(dir.path("plain"), text);
    std::vector<std::string> args = with_password(dir, "garden", {"-o", dir.path("sealed")});
    args.push_back(dir.path("plain"));
    const RunResult run = run_cli({.args = args});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(read_file(dir.path("sealed")), sealed("garden", text) + "\n");
}

}  // namespace
}  // namespace tarnel::cli_test

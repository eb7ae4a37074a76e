// SPDX-License-Identifier: MIT
// tarnel-cli when something fails halfway that a user cannot bring about at will:
// a seal failing the check that opens it again (the engine's test hook damages its
// sealed output), a read failing midway (this program's own pread fails the reads
// it is told to). The program runs in a child process. A file it was to replace
// stays as it was, with nothing beside it; output that went out directly is
// declared incomplete; the status is 1 either way.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "program.h"
#include "test_hooks.h"

// In a child that sets it, every pread() fails with EIO once something went out on
// standard output. Both stand in for the C library's, for the whole test program.
std::atomic<bool> g_fail_reads_after_output{false};
std::atomic<bool> g_output_began{false};

extern "C" ssize_t write(int fd, const void* data, std::size_t size) {
    if (fd == STDOUT_FILENO && size > 0)
        g_output_began = true;
    return ::syscall(SYS_write, fd, data, size);
}

extern "C" ssize_t pread(int fd, void* buffer, std::size_t size, off_t offset) {
    if (g_fail_reads_after_output && g_output_began) {
        errno = EIO;
        return -1;
    }
    return ::syscall(SYS_pread64, fd, buffer, size, offset);
}

namespace tarnel::cli {
namespace {

namespace fs = std::filesystem;

void damage_first_piece(char* sealed, std::size_t size) noexcept {
    static bool done = false;
    if (!done && size > 0) {
        sealed[0] = sealed[0] == 'A' ? 'B' : 'A';
        done = true;
    }
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

struct Ran {
    int status = -1;
    std::string out, err;
};

class FailedCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tarnel-check-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "out");
        write_file(dir / "pw", "password");
        std::string text;
        for (int line = 0; text.size() < 3 * 1024 * 1024; ++line)
            text += "line " + std::to_string(line) + " of a text too good to lose\n";
        write_file(dir / "text", text);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs tarnel-cli in a child, its standard input from `input` (or the file
    // named on the command line), with the damage hook set when `damage` says so.
    Ran run(std::vector<std::string> args, bool damage, const fs::path& input = "/dev/null",
            bool fail_reads_after_output = false) {
        const fs::path out = dir / "stdout", err = dir / "stderr";
        const pid_t child = ::fork();
        if (child == 0) {
            std::freopen(input.c_str(), "rb", stdin);
            std::freopen(out.c_str(), "wb", stdout);
            std::freopen(err.c_str(), "wb", stderr);
            if (damage)
                set_test_hooks({.damage = damage_first_piece});
            g_fail_reads_after_output = fail_reads_after_output;
            std::vector<char*> argv;
            args.insert(args.begin(), "tarnel-cli");
            for (std::string& arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            std::_Exit(run_program(int(argv.size() - 1), argv.data()));
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
    }

    std::vector<std::string> names_in(const fs::path& where) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(where))
            names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path dir;
};

TEST_F(FailedCheck, AFileToReplaceIsLeftAsItWasWithNothingBesideIt) {
    const fs::path target = dir / "out" / "sealed";
    const std::string pw = (dir / "pw").string(), text = (dir / "text").string();
    // From a file, sealed in pieces; from standard input, sealed whole.
    for (const bool from_file : {true, false}) {
        write_file(target, "the text sealed yesterday\n");
        std::vector<std::string> args = {"--password-file", pw, "--seal", "-o", target.string()};
        if (from_file)
            args.push_back(text);
        const Ran failed = run(args, true, from_file ? "/dev/null" : text);
        EXPECT_EQ(failed.status, 1) << failed.err;
        EXPECT_NE(failed.err.find("failed its check"), std::string::npos) << failed.err;
        EXPECT_EQ(read_file(target), "the text sealed yesterday\n");
        EXPECT_EQ(names_in(dir / "out"), std::vector<std::string>{"sealed"});

        const Ran sealed = run(args, false, from_file ? "/dev/null" : text);
        EXPECT_EQ(sealed.status, 0) << sealed.err;
        EXPECT_EQ(read_file(target).substr(0, 2), "{{") << "the same run seals without the damage";
    }
}

TEST_F(FailedCheck, OutputThatWentOutDirectlyIsDeclaredIncomplete) {
    const std::vector<std::string> args = {"--password-file", (dir / "pw").string(), "--seal",
                                           (dir / "text").string()};
    const Ran failed = run(args, true);
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("incomplete"), std::string::npos) << failed.err;
    const Ran sealed = run(args, false);
    ASSERT_EQ(sealed.status, 0) << sealed.err;
    EXPECT_LT(failed.out.size(), sealed.out.size());
    EXPECT_EQ(failed.out, sealed.out.substr(0, failed.out.size()))
        << "what went out before the damaged piece was checked and right";
}

// Whatever stops a run after its output began, the reader hears the output is
// incomplete: here a read that fails midway, sealing and opening a text of pieces.
TEST_F(FailedCheck, AReadFailingMidwayDeclaresTheOutputIncomplete) {
    std::string text;
    while (text.size() < 12 * 1024 * 1024)
        text +=
            "a longer line of a text that is read in pieces, " + std::to_string(text.size()) + "\n";
    write_file(dir / "large", text);
    const std::string pw = (dir / "pw").string();
    const Ran sealed = run(
        {"--password-file", pw, "-o", (dir / "sealed").string(), (dir / "large").string()}, false);
    ASSERT_EQ(sealed.status, 0) << sealed.err;
    for (const fs::path& input : {dir / "large", dir / "sealed"}) {
        const Ran failed = run({"--password-file", pw, input.string()}, false, "/dev/null", true);
        EXPECT_EQ(failed.status, 1) << input;
        EXPECT_NE(failed.err.find("Input/output error"), std::string::npos) << failed.err;
        EXPECT_NE(failed.err.find("standard output got an incomplete text"), std::string::npos)
            << failed.err;
        EXPECT_FALSE(failed.out.empty()) << "the failure came after output began";
    }
}

}  // namespace
}  // namespace tarnel::cli

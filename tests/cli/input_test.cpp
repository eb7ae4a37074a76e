// SPDX-License-Identifier: MIT
// How tarnel-cli reads its input: files that tell no size, files that change while
// read, sources that never end or never write, and refusals that come before the
// rest of the input is waited for.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_runner.h"
#include "program_command.h"
#include "tarnel/process.h"

namespace tarnel::cli_test {
namespace {

// A run that reads without end must fail, not take the machine's memory: the
// limit stops it. Sanitizers reserve more address space than any such limit.
#if defined(__SANITIZE_ADDRESS__)
constexpr rlim_t kRunawayLimit = RLIM_INFINITY;
#else
constexpr rlim_t kRunawayLimit = rlim_t(2) << 30;
#endif

// A failure: exit status 1, nothing on standard output, `says` on standard error.
void expect_refusal(const RunResult& result, const std::string& says) {
    EXPECT_FALSE(result.timed_out) << "still reading after the timeout";
    EXPECT_EQ(result.exit_status, 1) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
}

std::string opened(const std::string& password, const std::string& sealed) {
    return ProcessText(password, sealed, ProcessDirection::Open).text;
}

// The name the kernel gives the process that runs tarnel-cli: its program file's,
// cut to 15 bytes; under an emulator, the emulator's.
std::string process_name() {
    const std::string program = test::program_command(TARNEL_CLI_PATH).front();
    return program.substr(program.find_last_of('/') + 1).substr(0, 15);
}

TEST(SpecialFiles, FilesThatTellNoSizeAreReadAsTheyCome) {
    TempDir dir;
    const std::string version = std::string(trim_text(read_file("/proc/version")));
    ASSERT_FALSE(version.empty());
    // As a path and as standard input, both regular files of size 0.
    for (const Invocation& run :
         {Invocation{.args = with_password(dir, "pw", {"--seal", "/proc/version"})},
          Invocation{.args = with_password(dir, "pw", {"--seal"}),
          .stdin_path = "/proc/version"}}) {
        const RunResult result = run_cli(run);
        ASSERT_EQ(result.exit_status, 0) << result.err;
        EXPECT_EQ(opened("pw", result.out), version);
    }
    const RunResult status = run_cli({.args = with_password(dir, "pw", {"/proc/self/status"})});
    ASSERT_EQ(status.exit_status, 0) << status.err;
    EXPECT_NE(opened("pw", status.out).find("Name:\t" + process_name()), std::string::npos);
}

// tarnel-cli on a pty, so that it stops at the password prompt after the first
// pass over its input and the test may change the file meanwhile.
class PromptedRun {
  public:
    explicit PromptedRun(const std::vector<std::string>& args) {
        EXPECT_EQ(::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr), 0);
        ChildSetup setup;
        setup.stdin_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        setup.stdout_fd = ::open(m_dir.path("out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        setup.stderr_fd = ::open(m_dir.path("err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        setup.controlling_terminal = m_slave;
        m_pid = spawn_cli(args, setup);
        for (const int fd : {setup.stdin_fd, setup.stdout_fd, setup.stderr_fd})
            ::close(fd);
    }
    ~PromptedRun() {
        if (m_pid > 0)
            finish();
        ::close(m_master);
        ::close(m_slave);
    }
    PromptedRun(const PromptedRun&) = delete;
    PromptedRun& operator=(const PromptedRun&) = delete;

    bool wait_for_prompt(const std::string& prompt) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_screen.find(prompt, m_seen) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            pollfd polled{m_master, POLLIN, 0};
            char buffer[256];
            if (::poll(&polled, 1, 50) > 0) {
                const ssize_t n = ::read(m_master, buffer, sizeof buffer);
                if (n > 0)
                    m_screen.append(buffer, std::size_t(n));
            }
        }
        m_seen = m_screen.find(prompt, m_seen) + prompt.size();
        return true;
    }
    void type(const std::string& keys) {
        ASSERT_EQ(::write(m_master, keys.data(), keys.size()), ssize_t(keys.size()));
    }
    RunResult finish() {
        RunResult result;
        wait_for(m_pid, 10000, result);
        m_pid = -1;
        result.out = read_file(m_dir.path("out"));
        result.err = read_file(m_dir.path("err"));
        return result;
    }

  private:
    TempDir m_dir;
    int m_master = -1, m_slave = -1;
    pid_t m_pid = -1;
    std::string m_screen;
    std::size_t m_seen = 0;
};

void append_file(const std::string& path, const std::string& more) {
    std::ofstream(path, std::ios::binary | std::ios::app) << more;
}

TEST(ChangingFiles, AFileThatGrowsWhileReadWritesNothing) {
    TempDir dir;
    const std::string text(200000, 'g');
    for (const bool to_file : {true, false}) {
        write_file(dir.path("text"), text);
        write_file(dir.path("target"), "old content");
        std::vector<std::string> args = {dir.path("text")};
        if (to_file)
            args = {"-o", dir.path("target"), dir.path("text")};
        PromptedRun run(args);
        ASSERT_TRUE(run.wait_for_prompt("Password: "));
        append_file(dir.path("text"), "\na line added while the password is asked for\n");
        run.type("pw\n");
        ASSERT_TRUE(run.wait_for_prompt("Password again: "));
        run.type("pw\n");
        const RunResult result = run.finish();
        EXPECT_EQ(result.exit_status, 1) << result.err;
        EXPECT_NE(result.err.find(dir.path("text") + " changed while it was read"),
                  std::string::npos)
            << result.err;
        if (to_file) {
            EXPECT_EQ(read_file(dir.path("target")), "old content");
            EXPECT_EQ(dir.names(), (std::vector<std::string>{"target", "text"}));
        } else {
            EXPECT_NE(result.err.find("the output is incomplete"), std::string::npos) << result.err;
        }
    }
}

TEST(PasswordSources, ALineBeyondTheBoundIsRefusedAtOnce) {
    TempDir dir;
    expect_refusal(run_cli({.args = {"--password-file", "/dev/zero"}, .input = "text"}),
                   "the password from the file /dev/zero is longer than 4096 bytes");
    // From a pipe that goes on without a line break, the same.
    expect_refusal(run_cli({.args = {"--password-fd", "3"},
                            .input = "text",
                            .extra_fds = {{3, std::string(1 << 20, 'p')}}}),
                   "the password from descriptor 3 is longer than 4096 bytes");
    for (const std::size_t length : {4096u, 4097u}) {
        write_file(dir.path("pw"), std::string(length, 'p') + "\r\n");
        const RunResult result =
            run_cli({.args = {"--password-file", dir.path("pw")}, .input = "text"});
        EXPECT_EQ(result.exit_status, length <= 4096 ? 0 : 1) << length << result.err;
    }
}

TEST(PasswordSources, APasswordWithANulIsRefusedBeforeTheText) {
    TempDir dir;
    write_file(dir.path("pw"), std::string("pass\0word\n", 10));
    write_file(dir.path("text"), "a text in a file");
    const std::string message(kPasswordNulMessage);
    expect_refusal(run_cli({.args = {"--password-file", dir.path("pw"), dir.path("text")}}),
                   message);
    // A text that never comes is not waited for.
    expect_refusal(run_cli({.args = {"--password-file", dir.path("pw")},
                            .keep_stdin_open = true,
                            .timeout_ms = 5000}),
                   message);
}

TEST(NoTerminal, RefusesBeforeWaitingForTheText) {
    TempDir dir;
    const std::string says = "no terminal to ask for the password on";
    expect_refusal(run_cli({.keep_stdin_open = true, .timeout_ms = 5000}), says);
    // A FIFO without a writer would block its opening.
    ASSERT_EQ(::mkfifo(dir.path("fifo").c_str(), 0600), 0);
    expect_refusal(run_cli({.args = {dir.path("fifo")}, .timeout_ms = 5000}), says);
}

TEST(EarlyRefusals, ATextToSealStopsAtItsFirstZeroByte) {
    TempDir dir;
    const std::string says = "the text holds a zero byte";
    for (const char* option : {"--seal", "--crlf"}) {
        expect_refusal(run_cli({.args = with_password(dir, "pw", {option}),
                                .stdin_path = "/dev/zero",
                                .memory_limit = kRunawayLimit,
                                .timeout_ms = 5000}),
                       says);
    }
    // Once the text cannot be a sealed one, its end is not waited for.
    expect_refusal(run_cli({.args = with_password(dir, "pw", {}),
                            .input = std::string("  plain\0", 8),
                            .keep_stdin_open = true,
                            .timeout_ms = 5000}),
                   says);
    // From a file, the same, with the file's way of reading.
    write_file(dir.path("text"), "plain " + std::string(1 << 20, '\0'));
    expect_refusal(run_cli({.args = with_password(dir, "pw", {dir.path("text")})}), says);
}

TEST(EarlyRefusals, ATextToOpenThatIsNotSealedIsRefusedAtItsStart) {
    TempDir dir;
    const std::string says = "not a sealed text";
    expect_refusal(run_cli({.args = with_password(dir, "pw", {"--open"}),
                            .stdin_path = "/dev/zero",
                            .memory_limit = kRunawayLimit,
                            .timeout_ms = 5000}),
                   says);
    expect_refusal(run_cli({.args = with_password(dir, "pw", {"--open"}),
                            .input = "\n plain text",
                            .keep_stdin_open = true,
                            .timeout_ms = 5000}),
                   says);
}

TEST(EndlessInput, MoreThanMemoryHoldsIsRefusedWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address space limit breaks the sanitizer's shadow memory";
#else
    ::signal(SIGPIPE, SIG_IGN);
    int in[2], err[2];
    ASSERT_EQ(::pipe2(in, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(err, O_CLOEXEC), 0);
    TempDir dir;
    ChildSetup setup;
    setup.stdin_fd = in[0];
    setup.stdout_fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    setup.stderr_fd = err[1];
    // With 512 MiB, a quarter of it is what a text read whole may take.
    setup.memory_limit = rlim_t(512) << 20;
    const pid_t pid = spawn_cli(with_password(dir, "pw", {}), setup);
    for (const int fd : {in[0], err[1], setup.stdout_fd})
        ::close(fd);
    std::atomic<uint64_t> written{0};
    std::thread producer([&] {
        const std::string lines(1 << 16, 'y');
        for (;;) {
            const ssize_t n = ::write(in[1], lines.data(), lines.size());
            if (n <= 0)
                return;
            written += uint64_t(n);
        }
    });
    RunResult result;
    wait_for(pid, 30000, result);
    ::close(in[1]);
    producer.join();
    char buffer[512];
    const ssize_t n = ::read(err[0], buffer, sizeof buffer);
    ::close(err[0]);
    result.err.assign(buffer, std::size_t(n > 0 ? n : 0));
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err,
              "tarnel-cli: standard input is too large to hold in memory (more "
              "than 128 MiB)\n");
    // It stopped at its bound, with no more than the pipe's buffer read beyond.
    EXPECT_LE(written.load(), (uint64_t(128) << 20) + (4u << 20));
#endif
}

// White space around the trailer used to be gathered from the back a few
// kilobytes at a time, each piece put in front of the last: seconds for tens of
// megabytes. Read from a file, it must take no longer than from a pipe.
TEST(FileReading, WhiteSpaceInABodyTakesLinearTime) {
    TempDir dir;
    const std::string sealed = ProcessText("pw", "white space", ProcessDirection::Seal).text;
    const std::string spaces(40u << 20, '\n');
    const std::string body = sealed.substr(2, sealed.size() - 4);
    const std::string texts[] = {
        "{{" + body + spaces + "}}",
        "{{" + body.substr(0, body.size() - 5) + spaces + body.substr(body.size() - 5) + "}}",
        "{{" + spaces + body + "}}",
    };
    for (const std::string& text : texts) {
        write_file(dir.path("text"), text);
        const auto start = std::chrono::steady_clock::now();
        const RunResult result =
            run_cli({.args = with_password(dir, "pw", {dir.path("text")}), .timeout_ms = 4000});
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_FALSE(result.timed_out)
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
        EXPECT_EQ(result.exit_status, 0) << result.err;
        EXPECT_EQ(result.out, "white space");
    }
}

}  // namespace
}  // namespace tarnel::cli_test

// SPDX-License-Identifier: MIT
// The password prompt and terminal output, on a pseudo-terminal that the program
// gets as its controlling terminal.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "cli_runner.h"
#include "tarnel/process.h"

namespace tarnel::cli_test {
namespace {

constexpr const char* kText = "for the terminal";

// tarnel-cli with a pty as its terminal; standard input and output are files
// unless the terminal takes standard output.
class TerminalSession {
  public:
    TerminalSession(const std::vector<std::string>& args, const std::string& input,
                    bool stdout_on_terminal = false, bool stdin_on_terminal = false) {
        EXPECT_EQ(::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr), 0);
        write_file(m_dir.path("in"), input);
        ChildSetup setup;
        setup.stdin_fd = stdin_on_terminal ? ::dup(m_slave)
                                           : ::open(m_dir.path("in").c_str(), O_RDONLY | O_CLOEXEC);
        setup.stdout_fd = stdout_on_terminal ? m_slave
                                             : ::open(m_dir.path("out").c_str(),
                                                      O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        setup.stderr_fd = ::open(m_dir.path("err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        setup.controlling_terminal = m_slave;
        m_pid = spawn_cli(args, setup);
        ::close(setup.stdin_fd);
        if (!stdout_on_terminal)
            ::close(setup.stdout_fd);
        ::close(setup.stderr_fd);
    }
    ~TerminalSession() {
        if (m_pid > 0)
            finish();
        ::close(m_master);
        ::close(m_slave);
    }

    // Reads what the program shows until `expected` appears; false after 5 s.
    bool wait_for_screen(const std::string& expected) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (m_screen.find(expected, m_seen) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            read_screen(50);
        }
        m_seen = m_screen.find(expected, m_seen) + expected.size();
        return true;
    }
    void type(const std::string& keys) {
        ASSERT_EQ(::write(m_master, keys.data(), keys.size()), ssize_t(keys.size()));
    }
    bool echo_on() const {
        termios settings{};
        ::tcgetattr(m_slave, &settings);
        return (settings.c_lflag & ECHO) != 0;
    }
    void interrupt() { ::kill(m_pid, SIGINT); }

    RunResult finish() {
        RunResult result;
        wait_for(m_pid, 5000, result);
        m_pid = -1;
        while (read_screen(100)) {
        }
        result.out = read_file(m_dir.path("out"));
        result.err = read_file(m_dir.path("err"));
        return result;
    }
    const std::string& screen() const { return m_screen; }
    const TempDir& dir() const { return m_dir; }

  private:
    // Adds what the terminal shows within `timeout_ms`; false when nothing came.
    bool read_screen(int timeout_ms) {
        pollfd polled{m_master, POLLIN, 0};
        if (::poll(&polled, 1, timeout_ms) != 1)
            return false;
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        m_screen.append(buffer, std::size_t(n));
        return true;
    }

    TempDir m_dir;
    int m_master = -1;
    int m_slave = -1;
    pid_t m_pid = -1;
    std::string m_screen;
    std::size_t m_seen = 0;
};

TEST(PasswordPrompt, SealingAsksTwiceWithEchoOff) {
    TerminalSession session({}, kText);
    ASSERT_TRUE(session.wait_for_screen("Password: "));
    EXPECT_FALSE(session.echo_on());
    session.type("s3cret\n");
    ASSERT_TRUE(session.wait_for_screen("Password again: "));
    session.type("s3cret\n");
    const RunResult result = session.finish();
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.out, ProcessText("s3cret", kText).text + "\n");
    EXPECT_TRUE(session.echo_on());
    EXPECT_EQ(session.screen().find("s3cret"), std::string::npos) << session.screen();
}

TEST(PasswordPrompt, DifferentAnswersSealNothing) {
    TerminalSession session({}, kText);
    ASSERT_TRUE(session.wait_for_screen("Password: "));
    session.type("one\n");
    ASSERT_TRUE(session.wait_for_screen("Password again: "));
    session.type("two\n");
    const RunResult result = session.finish();
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "tarnel-cli: the two passwords differ; nothing was sealed\n");
}

TEST(PasswordPrompt, OpeningAsksOnce) {
    TerminalSession session({}, ProcessText("pw", kText).text);
    ASSERT_TRUE(session.wait_for_screen("Password: "));
    session.type("pw\n");
    const RunResult result = session.finish();
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.out, kText);
    EXPECT_EQ(session.screen().find("again"), std::string::npos);
}

// A password typed on the terminal that --password-fd names is not shown either.
TEST(PasswordPrompt, PasswordFdOnATerminalTurnsEchoOff) {
    TerminalSession session({"--password-fd", "0", "--seal"}, "", false, true);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (session.echo_on() && std::chrono::steady_clock::now() < deadline)
        ::usleep(10000);
    ASSERT_FALSE(session.echo_on());
    session.type("s3cret\n");
    session.type("typed text\n\x04");
    const RunResult result = session.finish();
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.out, ProcessText("s3cret", "typed text").text + "\n");
    EXPECT_EQ(session.screen().find("s3cret"), std::string::npos) << session.screen();
    EXPECT_TRUE(session.echo_on());
}

TEST(PasswordPrompt, InterruptPutsEchoBack) {
    TerminalSession session({}, kText);
    ASSERT_TRUE(session.wait_for_screen("Password: "));
    ASSERT_FALSE(session.echo_on());
    session.interrupt();
    const RunResult result = session.finish();
    EXPECT_EQ(result.signal, SIGINT);
    EXPECT_TRUE(session.echo_on());
}

TEST(TerminalOutput, GarbledTextIsShownOnlyWithForce) {
    TempDir dir;
    const std::string sealed = ProcessText("right", std::string(64, 'a')).text;
    const std::string garbled = ProcessText("wrong", sealed).text;
    // As a byte: char is signed on x86-64 and unsigned on arm64.
    const auto is_control = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && byte != '\t' && byte != '\n';
    };
    ASSERT_TRUE(std::any_of(garbled.begin(), garbled.end(), is_control));

    TerminalSession refused(with_password(dir, "wrong", {}), sealed, true);
    const RunResult refusal = refused.finish();
    EXPECT_EQ(refusal.exit_status, 1);
    EXPECT_NE(refusal.err.find("control characters"), std::string::npos) << refusal.err;

    TerminalSession forced(with_password(dir, "wrong", {"--force"}), sealed, true);
    const RunResult shown = forced.finish();
    EXPECT_EQ(shown.exit_status, 3) << shown.err;
    EXPECT_FALSE(forced.screen().empty());
}

// -o naming the terminal, by any name, gets the guard that standard output gets.
TEST(TerminalOutput, EveryNameOfTheTerminalIsGuarded) {
    TempDir dir;
    const std::string sealed = ProcessText("right", std::string(64, 'a')).text;
    for (const char* terminal : {"/dev/tty", "/dev/stdout"}) {
        TerminalSession refused(with_password(dir, "wrong", {"-o", terminal}), sealed, true);
        const RunResult refusal = refused.finish();
        EXPECT_EQ(refusal.exit_status, 1) << terminal;
        EXPECT_NE(refusal.err.find("control characters"), std::string::npos) << refusal.err;
        EXPECT_EQ(refused.screen(), "") << terminal;
    }
}

// A C1 control in UTF-8 (here CSI, which some terminals obey) is as unsafe as a C0 one.
TEST(TerminalOutput, AC1ControlIsKeptFromTheTerminalToo) {
    TempDir dir;
    const std::string sealed = ProcessText("pw",
                                           "red \xC2\x9B"
                                           "31m text")
                                   .text;
    TerminalSession refused(with_password(dir, "pw", {}), sealed, true);
    const RunResult refusal = refused.finish();
    EXPECT_EQ(refusal.exit_status, 1);
    EXPECT_NE(refusal.err.find("control characters"), std::string::npos) << refusal.err;
}

}  // namespace
}  // namespace tarnel::cli_test

// SPDX-License-Identifier: MIT
#include "terminal_prompt.h"

#include <fcntl.h>
#include <unistd.h>

#include "output.h"
#include "secret_reader.h"
#include "signal_cleanup.h"

namespace tarnel::cli {

namespace {

// Turns echo off on the terminal `fd`, keeping its settings in `saved`. `when`:
// TCSAFLUSH drops what was typed before a prompt; TCSANOW keeps it.
bool turn_echo_off(int fd, TerminalSettings& saved, int when) noexcept {
    if (::tcgetattr(fd, &saved) != 0)
        return false;
    // Registered before the change, so that no signal can leave echo off.
    restore_terminal_on_signal(fd, saved);
    termios quiet = saved;
    quiet.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL);
    quiet.c_lflag |= ICANON;
    if (::tcsetattr(fd, when, &quiet) != 0) {
        forget_terminal();
        return false;
    }
    return true;
}

void put_settings_back(int fd, const TerminalSettings& saved, int when) noexcept {
    ::tcsetattr(fd, when, &saved);
    forget_terminal();
}

}  // namespace

TerminalPrompt::TerminalPrompt() noexcept {
    // O_NOCTTY: a process without a controlling terminal must not acquire one here.
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (!turn_echo_off(fd, m_saved, TCSAFLUSH)) {
        ::close(fd);
        return;
    }
    m_fd = fd;
}

// What is typed before and after the password line may be the text: kept.
EchoOff::EchoOff(int fd) noexcept {
    if (::isatty(fd) == 1 && turn_echo_off(fd, m_saved, TCSANOW))
        m_fd = fd;
}

EchoOff::~EchoOff() {
    if (m_fd >= 0)
        put_settings_back(m_fd, m_saved, TCSANOW);
}

bool TerminalPrompt::available() noexcept {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

TerminalPrompt::~TerminalPrompt() {
    if (m_fd < 0)
        return;
    put_settings_back(m_fd, m_saved, TCSAFLUSH);
    ::close(m_fd);
}

int TerminalPrompt::ask(const char* question, std::string& answer, std::size_t max_length) {
    if (const int error = write_all(m_fd, {question}); error != 0)
        return error;
    const int error = read_first_line(m_fd, answer, max_length);
    // The Enter key was not echoed; end the prompt's line.
    write_all(m_fd, {"\n"});
    return error;
}

}  // namespace tarnel::cli

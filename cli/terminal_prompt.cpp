// SPDX-License-Identifier: MIT
#include "terminal_prompt.h"

#include <fcntl.h>
#include <unistd.h>

#include "output.h"
#include "secret_reader.h"
#include "signal_cleanup.h"

namespace tarnel::cli {

TerminalPrompt::TerminalPrompt() noexcept {
    // O_NOCTTY: a process without a controlling terminal must not acquire one here.
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (::tcgetattr(fd, &m_saved) != 0) {
        ::close(fd);
        return;
    }
    // Registered before the change, so that no signal can leave echo off.
    restore_terminal_on_signal(fd, m_saved);
    termios quiet = m_saved;
    quiet.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL);
    quiet.c_lflag |= ICANON;
    if (::tcsetattr(fd, TCSAFLUSH, &quiet) != 0) {
        forget_terminal();
        ::close(fd);
        return;
    }
    m_fd = fd;
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
    ::tcsetattr(m_fd, TCSAFLUSH, &m_saved);
    forget_terminal();
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

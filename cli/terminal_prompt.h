// SPDX-License-Identifier: MIT
// Asking for the password on the controlling terminal, with echo off, whatever
// standard input and output are.
#pragma once

#include "terminal_settings.h"

#include <cstddef>
#include <string>

namespace tarnel::cli {

class TerminalPrompt {
  public:
    /// Opens /dev/tty and turns echo off. Check ok(): false when there is no
    /// terminal.
    TerminalPrompt() noexcept;
    /// Puts the terminal's settings back and closes it.
    ~TerminalPrompt();
    TerminalPrompt(const TerminalPrompt&) = delete;
    TerminalPrompt& operator=(const TerminalPrompt&) = delete;

    bool ok() const noexcept { return m_fd >= 0; }

    /// True when there is a terminal to ask on; changes nothing on it.
    static bool available() noexcept;

    /// Shows `question` and reads one line of at most `max_length` bytes into
    /// `answer`. Returns 0, an errno, or kLineTooLong (secret_reader.h).
    int ask(const char* question, std::string& answer, std::size_t max_length);

  private:
    int m_fd = -1;
    TerminalSettings m_saved{};
};

#ifndef _WIN32
/// Echo off on `fd` while it lives, when `fd` is a terminal: a password given
/// with --password-fd on a terminal is typed unseen, as at the prompt.
class EchoOff {
  public:
    explicit EchoOff(int fd) noexcept;
    ~EchoOff();
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

  private:
    int m_fd = -1;
    TerminalSettings m_saved{};
};
#endif

}  // namespace tarnel::cli

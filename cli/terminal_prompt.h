// SPDX-License-Identifier: MIT
// Asking for the password on the controlling terminal, with echo off, whatever
// standard input and output are.
#pragma once

#include "terminal_settings.h"

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

    /// Shows `question` and reads one line into `answer`. Returns 0 or an errno.
    int ask(const char* question, std::string& answer);

  private:
    int m_fd = -1;
    TerminalSettings m_saved{};
};

}  // namespace tarnel::cli

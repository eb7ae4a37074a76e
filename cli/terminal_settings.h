// SPDX-License-Identifier: MIT
// What the password prompt changes on the terminal and must put back.
#pragma once

#ifdef _WIN32

namespace tarnel::cli {

/// The console's input mode before echo was turned off, and its handles.
struct TerminalSettings {
    void* console_input = nullptr;
    void* console_output = nullptr;
    unsigned long input_mode = 0;
};

}  // namespace tarnel::cli

#else

#include <termios.h>

namespace tarnel::cli {

using TerminalSettings = termios;

}  // namespace tarnel::cli

#endif

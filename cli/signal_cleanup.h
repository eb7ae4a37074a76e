// SPDX-License-Identifier: MIT
// What a fatal signal must undo before the program dies: a terminal left with
// echo off, and a temporary file that would otherwise stay behind.
#pragma once

#include "terminal_settings.h"

namespace tarnel::cli {

/// Catches the signals that would end the process (SIGINT, SIGTERM, SIGHUP,
/// SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU; those not
/// already ignored): undoes what is registered below, then dies of the same
/// signal. SIGKILL cannot be caught: what must survive it cannot rely on this.
/// On Windows the same for Ctrl+C, Ctrl+Break and a closing console.
void install_cleanup_handlers() noexcept;

/// Registers terminal settings to put back on `fd` (on Windows, on the console the
/// settings name); forget_terminal() drops them.
void restore_terminal_on_signal(int fd, const TerminalSettings& settings) noexcept;
void forget_terminal() noexcept;

/// Registers a file to delete, in place of the one before; nullptr registers
/// none. A path too long to keep is not registered.
void remove_on_signal(const char* path) noexcept;

}  // namespace tarnel::cli

// SPDX-License-Identifier: MIT
// Keeps the password and the texts out of places that outlive the process.
#pragma once

namespace tarnel::cli {

/// Turns core dumps off (and with them ptrace by other users and /proc access to
/// this process's memory), makes a closed pipe a write error instead of a silent
/// death, and installs the cleanup handlers of signal_cleanup.h.
void harden_process() noexcept;

}  // namespace tarnel::cli

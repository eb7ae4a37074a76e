// SPDX-License-Identifier: MIT
// Keeps the password and the texts out of places that outlive the process.
#pragma once

namespace tarnel::cli {

/// Keeps the process's memory to itself (tarnel/hardening.h), makes a closed pipe
/// a write error instead of a silent death, and installs the cleanup handlers of
/// signal_cleanup.h.
void harden_process() noexcept;

}  // namespace tarnel::cli

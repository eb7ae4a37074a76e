// SPDX-License-Identifier: MIT
// What both programs do first: they hold a password and texts in memory, which
// must not reach places that outlive the process.
#pragma once

namespace tarnel::hardening {

/// Keeps the process's memory to itself. On Linux: no core dump (the limit is
/// zero, and the process is not dumpable, which also bars ptrace by other
/// processes of the user and their reading of /proc/<pid>/mem). On Windows: no
/// crash dialog or error report, which could carry the memory away, and no
/// system dialog for a missing disk or file. Call it before any secret is read;
/// it cannot fail in a way the caller could mend, so it reports nothing.
void protect_memory() noexcept;

}  // namespace tarnel::hardening

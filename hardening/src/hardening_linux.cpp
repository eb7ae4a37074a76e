// SPDX-License-Identifier: MIT
#include <sys/prctl.h>
#include <sys/resource.h>

#include "tarnel/hardening.h"

namespace tarnel::hardening {

void protect_memory() noexcept {
    // Both: the limit stops a core file, but a core piped to a handler
    // (core_pattern "|...") is not held to it; a process that is not dumpable
    // gets no core either way.
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

}  // namespace tarnel::hardening

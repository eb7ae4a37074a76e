// SPDX-License-Identifier: MIT
#include "hardening.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>

#include "signal_cleanup.h"

namespace tarnel::cli {

void harden_process() noexcept {
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    // A reader that went away shows up as EPIPE, which the output handles quietly.
    signal(SIGPIPE, SIG_IGN);
    // Past a file-size limit a write fails with EFBIG, which is reported and cleaned
    // up, instead of the process dying halfway.
    signal(SIGXFSZ, SIG_IGN);
    install_cleanup_handlers();
}

}  // namespace tarnel::cli

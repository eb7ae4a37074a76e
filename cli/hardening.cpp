// SPDX-License-Identifier: MIT
#include "hardening.h"

#include <signal.h>

#include "signal_cleanup.h"
#include "tarnel/hardening.h"

namespace tarnel::cli {

void harden_process() noexcept {
    hardening::protect_memory();
    // A reader that went away shows up as EPIPE, which the output handles quietly.
    signal(SIGPIPE, SIG_IGN);
    // Past a file-size limit a write fails with EFBIG, which is reported and cleaned
    // up, instead of the process dying halfway.
    signal(SIGXFSZ, SIG_IGN);
    install_cleanup_handlers();
}

}  // namespace tarnel::cli

// SPDX-License-Identifier: MIT
#include "tarnel/hardening.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tarnel::hardening {

void protect_memory() noexcept {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

}  // namespace tarnel::hardening

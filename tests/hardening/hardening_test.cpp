// SPDX-License-Identifier: MIT
// protect_memory() leaves the process without core dumps and not dumpable on
// Linux, and without crash and error dialogs on Windows.
#include <gtest/gtest.h>

#include "tarnel/hardening.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/prctl.h>
#include <sys/resource.h>
#endif

namespace {

#ifdef _WIN32

TEST(ProtectMemory, TurnsOffTheCrashAndErrorDialogs) {
    SetErrorMode(0);
    tarnel::hardening::protect_memory();
    const UINT wanted = SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX;
    EXPECT_EQ(GetErrorMode() & wanted, wanted);
}

#else

TEST(ProtectMemory, LeavesNoCoreLimitAndAProcessThatIsNotDumpable) {
    // From a state that would dump: dumpable, and the core limit as high as allowed.
    ASSERT_EQ(prctl(PR_SET_DUMPABLE, 1, 0, 0, 0), 0);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_CORE, &limit), 0);
    limit.rlim_cur = limit.rlim_max;
    ASSERT_EQ(setrlimit(RLIMIT_CORE, &limit), 0);

    tarnel::hardening::protect_memory();

    EXPECT_EQ(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    ASSERT_EQ(getrlimit(RLIMIT_CORE, &limit), 0);
    EXPECT_EQ(limit.rlim_cur, rlim_t{0});
    // The hard limit too, so that nothing later in the process can raise it again.
    EXPECT_EQ(limit.rlim_max, rlim_t{0});
}

#endif

}  // namespace

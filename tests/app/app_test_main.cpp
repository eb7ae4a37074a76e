// SPDX-License-Identifier: MIT
// Starts the window system once for the dialog tests: offscreen unless the
// environment names a platform, so that a developer can watch them on a display.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "app_test_support.h"
#include "main_app.h"

namespace tarnel::app::testing {
namespace {

ui::test::Driver* g_driver = nullptr;

}  // namespace

ui::test::Driver& driver() {
    return *g_driver;
}

}  // namespace tarnel::app::testing

int main(int argc, char** argv) {
#ifndef _WIN32
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    tarnel::app::CMainApp app;
    // Local, so the window system ends before the program's statics do.
    tarnel::ui::test::Driver driver("/usr/bin/tarnel");
    tarnel::app::testing::g_driver = &driver;
    // A run meant for one window system must not pass quietly on another (offscreen,
    // say, when no compositor was reached).
    const char* expected = std::getenv("TARNEL_TEST_WINDOW_SYSTEM");
    if (expected != nullptr && *expected != '\0' && driver.WindowSystem() != expected) {
        std::fprintf(stderr, "The tests ran on \"%s\", not on \"%s\".\n",
                     driver.WindowSystem().c_str(), expected);
        return 1;
    }
    const int status = RUN_ALL_TESTS();
    tarnel::app::testing::g_driver = nullptr;
    return status;
}

// SPDX-License-Identifier: MIT
// Starts the window system once for the dialog tests: offscreen unless the
// environment names a platform, so that a developer can watch them on a display.
#include <gtest/gtest.h>

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
    const int status = RUN_ALL_TESTS();
    tarnel::app::testing::g_driver = nullptr;
    return status;
}

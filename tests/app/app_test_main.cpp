// Starts the window system once for the dialog tests: offscreen unless the
// environment names a platform, so that a developer can watch them on a display.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app_test_support.h"
#include "main_app.h"

namespace tarnel::app::testing {

ui::test::Driver& driver() {
    static ui::test::Driver instance("/usr/bin/tarnel");
    return instance;
}

}  // namespace tarnel::app::testing

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    tarnel::app::CMainApp app;
    tarnel::app::testing::driver();
    return RUN_ALL_TESTS();
}

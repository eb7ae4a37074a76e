// SPDX-License-Identifier: MIT
// tarnel: seals the text in its window with a password, and opens it again.
#include "main_app.h"
#include "tarnel/ui/app.h"

namespace {

tarnel::app::CMainApp theApp;

}  // namespace

int main(int argc, char** argv) {
    return tarnel::ui::AfxWinMain(argc, argv);
}

// SPDX-License-Identifier: MIT
// The application object: runs the main dialog and ends when it closes.
#pragma once

#include "tarnel/ui/app.h"

namespace tarnel::app {

class CMainApp : public ui::CWinApp {
  public:
    /// Makes the program's resources the layer's, and names the desktop entry.
    CMainApp();

    /// Runs the main dialog modally, then returns FALSE: the program ends with it.
    ui::BOOL InitInstance() override;
};

}  // namespace tarnel::app

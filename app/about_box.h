// SPDX-License-Identifier: MIT
// The about box: the icon, the name and version, and what the tool does.
#pragma once

#include "tarnel/ui/dialog.h"

namespace tarnel::app {

class CAboutBox : public ui::CDialog {
  public:
    /// Owned by the application's main window, over which it is centred.
    CAboutBox();
    ~CAboutBox() override;

  protected:
    void DoDataExchange(ui::CDataExchange* dx) override;
};

}  // namespace tarnel::app

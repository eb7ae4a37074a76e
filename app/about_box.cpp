// SPDX-License-Identifier: MIT
#include "about_box.h"

#include "resource_ids.h"

namespace tarnel::app {

CAboutBox::CAboutBox() : CDialog(IDD_ABOUT, nullptr) {}

CAboutBox::~CAboutBox() = default;

void CAboutBox::DoDataExchange(ui::CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
}

}  // namespace tarnel::app

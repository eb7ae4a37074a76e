// SPDX-License-Identifier: MIT
#include "main_app.h"

#include "main_dialog.h"
#include "resources.h"

namespace tarnel::app {

CMainApp::CMainApp() {
    ui::AfxSetResourceHandle(&AppResources());
    m_strAppID = TARNEL_APP_ID;
}

ui::BOOL CMainApp::InitInstance() {
    CMainDialog dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return ui::FALSE;
}

}  // namespace tarnel::app

// SPDX-License-Identifier: MIT
// The application object and its name, the same for every backend.
#include "tarnel/ui/app.h"

namespace tarnel::ui {
namespace {

CWinApp* g_app = nullptr;

}  // namespace

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    return FALSE;
}

int CWinApp::ExitInstance() {
    return 0;
}

CWinApp* AfxGetApp() noexcept {
    return g_app;
}

CWnd* AfxGetMainWnd() noexcept {
    return g_app != nullptr ? g_app->m_pMainWnd : nullptr;
}

CString AfxGetAppName() {
    return g_app != nullptr ? g_app->m_strAppName : CString();
}

CString AppNameFromPath(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    const std::size_t dot = path.rfind('.');
    if (dot != std::string_view::npos && dot != 0)
        path = path.substr(0, dot);
    return CString(path);
}

}  // namespace tarnel::ui

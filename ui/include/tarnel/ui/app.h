// SPDX-License-Identifier: MIT
// The application object and the framework's global services.
#pragma once

#include <string_view>

#include "tarnel/ui/wnd.h"

namespace tarnel::ui {

/// The one application object. Constructing it registers it; AfxWinMain runs it.
class CWinApp {
  public:
    CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    /// Runs the program. FALSE ends it at once; TRUE runs the event loop until the
    /// last window closes.
    virtual BOOL InitInstance();
    /// Returns the exit status.
    virtual int ExitInstance();

    CWnd* m_pMainWnd = nullptr;
    /// The executable's base name without its extension, as AfxWinInit set it.
    CString m_strAppName;
    /// The desktop's name for the application (its .desktop file without the
    /// extension), which the window system reports with every window; empty for none.
    CString m_strAppID;
};

CWinApp* AfxGetApp() noexcept;
CWnd* AfxGetMainWnd() noexcept;
/// The application's name: the caption of its message boxes.
CString AfxGetAppName();

/// "tarnel" for "/usr/bin/tarnel" and for "C:\\bin\\tarnel.exe".
CString AppNameFromPath(std::string_view path);

/// Starts the backend and names the application after `program_path`. The
/// command line beyond it is not read. Idempotent.
BOOL AfxWinInit(const char* program_path);
/// Ends the backend that AfxWinInit started: every window must be gone.
void AfxWinTerm();
/// AfxWinInit, then InitInstance of the application object, then ExitInstance.
int AfxWinMain(int argc, char** argv);

/// A modal message box owned by the main window, captioned with the application's
/// name. MB_OK with no icon named gets the exclamation icon. Returns IDOK.
int AfxMessageBox(std::string_view text, UINT type = MB_OK);

/// Negative while the key is down. Ctrl keys read the modifiers of the key event
/// being handled, or of the keyboard when none is.
SHORT GetAsyncKeyState(int virtual_key);
int GetSystemMetrics(int index);

}  // namespace tarnel::ui

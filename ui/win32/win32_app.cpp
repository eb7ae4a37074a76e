// SPDX-License-Identifier: MIT
// The framework's global services on Win32: start, texts, icons, message boxes, keys.
#include "win32_backend.h"

// After the backend's header, which orders windows.h after the layer's.
#include <commctrl.h>
#include <objbase.h>

#include "tarnel/hardening.h"

namespace tarnel::ui {
namespace win32 {
namespace {

struct Backend {
    bool started = false;
    bool com = false;
};

Backend& backend() {
    static Backend instance;
    return instance;
}

}  // namespace

std::wstring to_wide(std::string_view text) {
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(std::size_t(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), size);
    return wide;
}

std::string to_utf8(std::wstring_view text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(std::size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), size, nullptr,
                            nullptr);
    return utf8;
}

std::string with_crlf(std::string_view text) {
    std::string converted;
    converted.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            converted += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            converted += "\r\n";
        } else if (text.substr(i, 3) == "\xE2\x80\xA8" || text.substr(i, 3) == "\xE2\x80\xA9") {
            converted += "\r\n";
            i += 2;
        } else {
            converted += c;
        }
    }
    return converted;
}

HINSTANCE resource_module() {
    return GetModuleHandleW(nullptr);
}

}  // namespace win32

BOOL AfxWinInit(const char* program_path) {
    win32::Backend& backend = win32::backend();
    if (backend.started)
        return TRUE;
    // The version 6 controls that the manifest asks for, with the visual styles.
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // Accessible names are kept by the accessibility runtime, a COM service.
    backend.com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    if (CWinApp* app = AfxGetApp()) {
        if (program_path != nullptr) {
            app->m_strAppName = AppNameFromPath(program_path);
        } else {
            wchar_t path[MAX_PATH];
            const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
            app->m_strAppName = AppNameFromPath(win32::to_utf8(std::wstring_view(path, length)));
        }
    }
    backend.started = true;
    return TRUE;
}

void AfxWinTerm() {
    win32::Backend& backend = win32::backend();
    if (backend.com)
        CoUninitialize();
    backend = {};
}

int AfxWinMain(int, char**) {
    // The process holds a password and texts.
    hardening::protect_memory();
    CWinApp* app = AfxGetApp();
    // The name comes from the executable itself: argv is in the ANSI code page.
    if (app == nullptr || !AfxWinInit(nullptr))
        return 1;
    if (app->InitInstance()) {
        ::MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            win32::dispatch(msg);
    }
    const int status = app->ExitInstance();
    AfxWinTerm();
    return status;
}

HICON LoadIcon(int id) {
    // At the system's icon size, shared by the system and never destroyed.
    return reinterpret_cast<HICON>(LoadIconW(win32::resource_module(), MAKEINTRESOURCEW(id)));
}

int AfxMessageBox(std::string_view text, UINT type) {
    CWnd* main = AfxGetMainWnd();
    ::HWND owner = main != nullptr ? win32::native(main->GetSafeHwnd()) : nullptr;
    // An OK box that names no icon gets the exclamation mark, as the framework gives it.
    if ((type & MB_ICONMASK) == 0 && (type & MB_TYPEMASK) == MB_OK)
        type |= MB_ICONEXCLAMATION;
    const std::wstring caption = win32::to_wide(AfxGetAppName());
    return MessageBoxW(owner, win32::to_wide(text).c_str(), caption.c_str(), type);
}

SHORT GetAsyncKeyState(int virtual_key) {
    return ::GetAsyncKeyState(virtual_key);
}

int GetSystemMetrics(int index) {
    return ::GetSystemMetrics(index);
}

}  // namespace tarnel::ui

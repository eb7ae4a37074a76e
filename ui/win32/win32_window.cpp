// SPDX-License-Identifier: MIT
// Windows, edit controls and painting on Win32.
#include "win32_backend.h"

// After the backend's header, which orders windows.h after the layer's.
#include <oleacc.h>

#include <new>

#include "tarnel/ui/allocation_point.h"

namespace tarnel::ui {
namespace win32 {

bool is_edit(::HWND hwnd) {
    wchar_t name[16];
    return hwnd != nullptr && GetClassNameW(hwnd, name, 16) > 0 && lstrcmpiW(name, L"Edit") == 0;
}

bool is_multiline_edit(::HWND hwnd) {
    return is_edit(hwnd) && (GetWindowLongPtrW(hwnd, GWL_STYLE) & ES_MULTILINE) != 0;
}

}  // namespace win32

namespace {

::HWND native(ui::HWND hwnd) {
    return win32::native(hwnd);
}

}  // namespace

void CWnd::GetWindowText(CString& text) const {
    text.clear();
    ::HWND hwnd = native(m_hWnd);
    if (hwnd == nullptr)
        return;
    AllocationPoint();
    std::wstring wide(std::size_t(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    const int length = GetWindowTextW(hwnd, wide.data(), int(wide.size()));
    text = win32::to_utf8(std::wstring_view(wide.data(), std::size_t(length > 0 ? length : 0)));
    // The password field's text, too, passed through here.
    SecureZeroMemory(wide.data(), wide.size() * sizeof(wchar_t));
}

void CWnd::SetWindowText(std::string_view text) {
    ::HWND hwnd = native(m_hWnd);
    if (hwnd == nullptr)
        return;
    try {
        const std::wstring wide = win32::to_wide(
            win32::is_multiline_edit(hwnd) ? win32::with_crlf(text) : std::string(text));
        SetWindowTextW(hwnd, wide.c_str());
    } catch (const std::bad_alloc&) {
        // The window keeps its text.
    }
}

CWnd* CWnd::GetDlgItem(int id) const {
    ::HWND hwnd = native(m_hWnd);
    if (hwnd == nullptr)
        return nullptr;
    ::HWND item = ::GetDlgItem(hwnd, id);
    return item != nullptr ? FromHandle(win32::handle_of(item)) : nullptr;
}

int CWnd::GetDlgCtrlID() const {
    ::HWND hwnd = native(m_hWnd);
    if (hwnd == nullptr || (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) == 0)
        return 0;
    return ::GetDlgCtrlID(hwnd);
}

CWnd* CWnd::GetFocus() {
    ::HWND focus = ::GetFocus();
    return focus != nullptr ? FromHandle(win32::handle_of(focus)) : nullptr;
}

CWnd* CWnd::SetFocus() {
    ::HWND previous = ::SetFocus(native(m_hWnd));
    return previous != nullptr ? FromHandle(win32::handle_of(previous)) : nullptr;
}

BOOL CWnd::IsWindowEnabled() const {
    return ::IsWindowEnabled(native(m_hWnd));
}

BOOL CWnd::IsIconic() const {
    ::HWND hwnd = native(m_hWnd);
    return hwnd != nullptr && ::IsIconic(GetAncestor(hwnd, GA_ROOT)) ? TRUE : FALSE;
}

void CWnd::GetClientRect(CRect* rect) const {
    RECT r{};
    if (::HWND hwnd = native(m_hWnd))
        ::GetClientRect(hwnd, &r);
    *rect = CRect{r.left, r.top, r.right, r.bottom};
}

void CWnd::GetWindowRect(CRect* rect) const {
    RECT r{};
    if (::HWND hwnd = native(m_hWnd))
        ::GetWindowRect(hwnd, &r);
    *rect = CRect{r.left, r.top, r.right, r.bottom};
}

HICON CWnd::SetIcon(HICON icon, BOOL big) {
    ::HWND hwnd = native(m_hWnd);
    if (hwnd == nullptr)
        return nullptr;
    return reinterpret_cast<HICON>(SendMessageW(hwnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL,
                                                reinterpret_cast<LPARAM>(icon)));
}

CMenu* CWnd::GetSystemMenu(BOOL revert) const {
    CDialog* dialog = win32::dialog_of(native(m_hWnd));
    return dialog != nullptr ? dialog->GetSystemMenu(revert) : nullptr;
}

void CWnd::SetAccessibleName(std::string_view name) {
    ::HWND hwnd = native(m_hWnd);
    if (hwnd == nullptr)
        return;
    // The accessibility runtime answers for the window with this name from now on.
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&services))))
        return;
    const std::wstring wide = win32::to_wide(name);
    services->SetHwndPropStr(hwnd, DWORD(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
                             wide.c_str());
    services->Release();
}

void CEdit::SetSel(int start, int end) {
    if (::HWND hwnd = native(m_hWnd))
        SendMessageW(hwnd, EM_SETSEL, WPARAM(start), LPARAM(end));
}

void CEdit::GetSel(int& start, int& end) const {
    DWORD from = 0;
    DWORD to = 0;
    if (::HWND hwnd = native(m_hWnd))
        SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                     reinterpret_cast<LPARAM>(&to));
    start = int(from);
    end = int(to);
}

BOOL CEdit::ReplaceSel(std::string_view text, BOOL can_undo) {
    ::HWND hwnd = native(m_hWnd);
    if (hwnd == nullptr)
        return FALSE;
    std::wstring wide;
    try {
        AllocationPoint();
        wide = win32::to_wide(win32::is_multiline_edit(hwnd) ? win32::with_crlf(text)
                                                             : std::string(text));
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    // The control would put in as much as fits and drop the rest.
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const std::size_t kept = std::size_t(GetWindowTextLengthW(hwnd)) - (end - start);
    if (kept + wide.size() > std::size_t(SendMessageW(hwnd, EM_GETLIMITTEXT, 0, 0)))
        return FALSE;
    SendMessageW(hwnd, EM_REPLACESEL, can_undo ? TRUE : FALSE,
                 reinterpret_cast<LPARAM>(wide.c_str()));
    return TRUE;
}

void CEdit::SetLimitText(UINT characters) {
    if (::HWND hwnd = native(m_hWnd))
        SendMessageW(hwnd, EM_SETLIMITTEXT, WPARAM(characters), 0);
}

void CEdit::ScrollCaret() {
    if (::HWND hwnd = native(m_hWnd))
        SendMessageW(hwnd, EM_SCROLLCARET, 0, 0);
}

struct CPaintDC::Painter {
    ::HWND hwnd;
    PAINTSTRUCT paint{};
    HDC dc = nullptr;
};

CPaintDC::CPaintDC(CWnd* window) : m_window(window) {
    ::HWND hwnd = native(window->GetSafeHwnd());
    if (hwnd == nullptr)
        return;
    m_painter = std::make_unique<Painter>();
    m_painter->hwnd = hwnd;
    m_painter->dc = BeginPaint(hwnd, &m_painter->paint);
}

CPaintDC::~CPaintDC() {
    if (m_painter)
        EndPaint(m_painter->hwnd, &m_painter->paint);
}

void CPaintDC::EraseIconBackground() {
    if (m_painter)
        SendMessageW(m_painter->hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(m_painter->dc),
                     0);
}

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon) {
    if (!m_painter)
        return FALSE;
    return ::DrawIcon(m_painter->dc, x, y, reinterpret_cast<::HICON>(icon));
}

}  // namespace tarnel::ui

// SPDX-License-Identifier: MIT
// Dialog windows on Win32: made from in-memory templates of the resources, run in
// the layer's own modal loop, with the platform's system menu.
#include "dialog_template.h"
#include "win32_backend.h"

namespace tarnel::ui {

void DetachAll(const std::vector<HWND>& going);

namespace win32 {
namespace {

constexpr wchar_t kDialogProperty[] = L"tarnel.dialog";

std::vector<::HWND> children_of(::HWND hwnd) {
    std::vector<::HWND> children;
    for (::HWND child = GetWindow(hwnd, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

/// The height `text` needs in the window's font when it wraps at `width`.
int text_height(::HWND window, std::string_view text, int width, bool no_prefix) {
    HDC dc = GetDC(window);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)));
    RECT rect{0, 0, width, 0};
    const std::wstring wide = to_wide(text);
    DrawTextW(dc, wide.c_str(), int(wide.size()), &rect,
              DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | (no_prefix ? DT_NOPREFIX : 0));
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return rect.bottom - rect.top;
}

/// Moves the controls where the layer's layout puts them: a label whose text does
/// not fit grows, and what is below it moves down with the window's bottom edge.
void apply_layout(::HWND hwnd, const DialogTemplate& dialog) {
    RECT units{0, 0, 4, 8};
    MapDialogRect(hwnd, &units);
    const BaseUnits base{units.right, units.bottom};
    const std::vector<::HWND> controls = children_of(hwnd);
    if (controls.size() != dialog.controls.size())
        return;
    const MeasureText measure = [&](std::string_view text, int width) {
        return text_height(hwnd, text, width, false);
    };
    const DialogLayout layout = LayoutDialog(dialog, base, measure, ::GetSystemMetrics(SM_CXICON));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const PixelRect& rect = layout.controls[i];
        SetWindowPos(controls[i], nullptr, rect.x, rect.y, rect.width, rect.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT frame{0, 0, layout.width, layout.height};
    AdjustWindowRectEx(&frame, DWORD(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
    SetWindowPos(hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

/// Centres the window over its owner, or on the work area of its monitor.
void centre(::HWND hwnd) {
    RECT window;
    GetWindowRect(hwnd, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::HWND owner = GetWindow(hwnd, GW_OWNER);
    GetMonitorInfoW(MonitorFromWindow(owner != nullptr ? owner : hwnd, MONITOR_DEFAULTTOPRIMARY),
                    &monitor);
    RECT area = monitor.rcWork;
    if (owner != nullptr && IsWindowVisible(owner) && !::IsIconic(owner))
        GetWindowRect(owner, &area);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    // Never off the work area, where the title bar could not be reached.
    x = std::max<int>(monitor.rcWork.left, std::min<int>(x, monitor.rcWork.right - width));
    y = std::max<int>(monitor.rcWork.top, std::min<int>(y, monitor.rcWork.bottom - height));
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

/// Opens the system menu at a screen point and carries out the choice, for a right
/// click on the background and the Menu key on a button.
void track_system_menu(::HWND hwnd, POINT at) {
    ::HMENU menu = ::GetSystemMenu(hwnd, FALSE);
    if (menu == nullptr)
        return;
    const UINT command =
        UINT(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, hwnd, nullptr));
    if (command != 0)
        SendMessageW(hwnd, WM_SYSCOMMAND, command, 0);
}

}  // namespace

CDialog* dialog_of(::HWND hwnd) {
    return hwnd != nullptr ? static_cast<CDialog*>(GetPropW(hwnd, kDialogProperty)) : nullptr;
}

void dispatch(::MSG& msg) {
    ::HWND root = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    CDialog* dialog = dialog_of(root);
    if (dialog != nullptr && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        ui::MSG message{handle_of(msg.hwnd), msg.message, msg.wParam, msg.lParam};
        if (dialog->PreTranslateMessage(&message))
            return;
        // The keystroke may have closed the window.
        if (!IsWindow(root))
            return;
    }
    if (dialog != nullptr && IsDialogMessageW(root, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

}  // namespace win32

INT_PTR CALLBACK CDialog::Window::procedure(::HWND hwnd, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lparam);
        SetPropW(hwnd, win32::kDialogProperty, dialog);
        dialog->m_window->hwnd = hwnd;
        dialog->Attach(win32::handle_of(hwnd));
        dialog->InitialiseWindow();
        // TRUE: the dialog manager gives the focus to the first tab stop.
        return dialog->m_window != nullptr ? dialog->m_window->default_focus : FALSE;
    }
    CDialog* dialog = win32::dialog_of(hwnd);
    if (dialog == nullptr || dialog->m_window == nullptr)
        return FALSE;
    switch (message) {
        case WM_COMMAND:
            // Clicks, and the dialog manager's Enter and Esc; not the edits' notices.
            if (HIWORD(wparam) == BN_CLICKED) {
                dialog->OnCommand(LOWORD(wparam));
                return TRUE;
            }
            return FALSE;
        case WM_SYSCOMMAND:
            dialog->OnSysCommand(UINT(wparam), lparam);
            return TRUE;
        case WM_PAINT:
            dialog->OnPaint();
            return TRUE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(dialog->OnQueryDragIcon());
        case WM_CONTEXTMENU: {
            // The edit controls keep their own menus and never pass this on.
            ::HWND from = reinterpret_cast<::HWND>(wparam);
            POINT at{short(LOWORD(lparam)), short(HIWORD(lparam))};
            if (lparam == -1) {
                RECT rect;
                ::GetWindowRect(from, &rect);
                at = POINT{rect.left, rect.bottom};
            }
            win32::track_system_menu(hwnd, at);
            return TRUE;
        }
        case WM_NCDESTROY:
            // Destroyed from outside, as with its owner.
            dialog->ForgetWindow();
            return FALSE;
        default:
            return FALSE;
    }
}

CDialog::CDialog(int template_id, CWnd* parent) : m_template_id(template_id), m_parent(parent) {}

CDialog::~CDialog() {
    DestroyWindow();
}

BOOL CDialog::CreateWindowFromTemplate(CWnd* parent, bool modal) {
    const DialogTemplate* dialog = AfxFindDialogTemplate(m_template_id);
    if (dialog == nullptr || !AfxWinInit(nullptr) || m_window != nullptr)
        return FALSE;
    CWnd* owner = parent != nullptr ? parent : AfxGetMainWnd();
    if (owner == this)
        owner = nullptr;
    m_window = std::make_unique<Window>();
    m_window->modal = modal;
    m_window->dialog_template = win32::BuildDialogTemplate(*dialog);
    m_result = 0;
    ::HWND hwnd = CreateDialogIndirectParamW(
        win32::resource_module(),
        reinterpret_cast<const DLGTEMPLATE*>(m_window->dialog_template.data()),
        owner != nullptr ? win32::native(owner->GetSafeHwnd()) : nullptr, Window::procedure,
        reinterpret_cast<LPARAM>(this));
    if (hwnd == nullptr) {
        m_window.reset();
        return FALSE;
    }
    return TRUE;
}

void CDialog::InitialiseWindow() {
    ::HWND hwnd = m_window->hwnd;
    m_window->controls = win32::children_of(hwnd);
    if (const DialogTemplate* dialog = AfxFindDialogTemplate(m_template_id))
        win32::apply_layout(hwnd, *dialog);
    // Without a limit set, an edit control takes about 32,000 characters and cuts a
    // long pasted sealed text short without a word; 0 is the platform's maximum.
    for (::HWND control : m_window->controls)
        if (win32::is_edit(control))
            SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
    win32::centre(hwnd);
    const BOOL default_focus = OnInitDialog();
    if (m_window != nullptr)
        m_window->default_focus = default_focus;
}

int CDialog::DoModal() {
    if (!CreateWindowFromTemplate(m_parent, true))
        return -1;
    ::HWND hwnd = m_window->hwnd;
    // The owner takes no input while the dialog is open, as DialogBox would have it.
    ::HWND owner = GetWindow(hwnd, GW_OWNER);
    const bool disabled_owner = owner != nullptr && ::IsWindowEnabled(owner);
    if (disabled_owner)
        EnableWindow(owner, FALSE);
    if (!m_window->ended && !IsWindowVisible(hwnd))
        ShowWindow(hwnd, SW_SHOW);

    // DialogBox's loop has no hook for PreTranslateMessage, so the layer runs its own.
    ::MSG msg;
    while (m_window != nullptr && !m_window->ended) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(int(msg.wParam));  // for the loop outside
            break;
        }
        win32::dispatch(msg);
    }
    // The owner first, so that it becomes the active window again, not another one.
    if (disabled_owner)
        EnableWindow(owner, TRUE);
    if (owner != nullptr && GetActiveWindow() == hwnd)
        SetActiveWindow(owner);
    const int result = m_result;
    DestroyWindow();
    return result;
}

BOOL CDialog::Create(CWnd* parent) {
    if (!CreateWindowFromTemplate(parent != nullptr ? parent : m_parent, false))
        return FALSE;
    if (!IsWindowVisible(m_window->hwnd))
        ShowWindow(m_window->hwnd, SW_SHOW);
    return TRUE;
}

void CDialog::EndDialog(int result) {
    m_result = result;
    if (m_window == nullptr)
        return;
    m_window->ended = true;
    if (m_window->modal) {
        // Wakes the modal loop should this come from a nested loop.
        PostMessageW(m_window->hwnd, WM_NULL, 0, 0);
    } else {
        // A window without a loop of its own goes out of sight; DestroyWindow ends it.
        ShowWindow(m_window->hwnd, SW_HIDE);
    }
}

void CDialog::ShowSystemMenu() {
    // As Alt+Space: the platform's own menu, at the title bar.
    if (m_window != nullptr)
        SendMessageW(m_window->hwnd, WM_SYSCOMMAND, SC_KEYMENU, VK_SPACE);
}

CMenu* CDialog::GetSystemMenu(BOOL revert) const {
    const DialogTemplate* dialog = AfxFindDialogTemplate(m_template_id);
    if (m_window == nullptr || m_window->hwnd == nullptr || dialog == nullptr ||
        (dialog->style & WS_SYSMENU) == 0)
        return nullptr;
    ::HMENU menu = ::GetSystemMenu(m_window->hwnd, revert);
    m_system_menu.m_hMenu = reinterpret_cast<HMENU>(menu);
    return revert || menu == nullptr ? nullptr : &m_system_menu;
}

void CDialog::OnSysCommand(UINT id, LPARAM lparam) {
    // The default processing: moving, the menu, closing (WM_CLOSE, then IDCANCEL).
    if (m_window != nullptr && m_window->hwnd != nullptr)
        DefWindowProcW(m_window->hwnd, WM_SYSCOMMAND, id, lparam);
}

void CDialog::OnPaint() {
    if (m_window != nullptr && m_window->hwnd != nullptr)
        DefWindowProcW(m_window->hwnd, WM_PAINT, 0, 0);
}

void CDialog::DestroyWindow() {
    if (m_window == nullptr)
        return;
    ::HWND hwnd = m_window->hwnd;
    ForgetWindow();
    if (hwnd != nullptr)
        ::DestroyWindow(hwnd);
}

void CDialog::ForgetWindow() {
    ::HWND hwnd = m_window->hwnd;
    std::vector<HWND> going;
    if (hwnd != nullptr) {
        RemovePropW(hwnd, win32::kDialogProperty);
        going.push_back(win32::handle_of(hwnd));
    }
    for (::HWND control : m_window->controls)
        going.push_back(win32::handle_of(control));
    DetachAll(going);
    Detach();
    m_window.reset();
    m_system_menu.m_hMenu = nullptr;
}

}  // namespace tarnel::ui

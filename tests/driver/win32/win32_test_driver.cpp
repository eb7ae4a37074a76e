// SPDX-License-Identifier: MIT
// The test driver on Win32: real keyboard input through SendInput, messages
// through the layer's own dispatch, and timers that watch for modal windows and
// menus while their loops run.
//
// GetAsyncKeyState reads the live state of the keyboard, so a modifier is held
// down across a turn of the message loop while the key it modifies is handled; a
// posted key message would find Ctrl up.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

#include "tarnel/ui/test_driver.h"
#include "win32_backend.h"

namespace tarnel::ui::test {
namespace {

constexpr UINT kPollMs = 10;
constexpr DWORD kGiveUpMs = 5000;
constexpr DWORD kSettleMs = 30;

/// Runs the messages that are there, and those that arrive until none has for a
/// little while (input goes through Wine's server before it is queued).
void pump() {
    DWORD quiet_since = GetTickCount();
    for (;;) {
        ::MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            win32::dispatch(msg);
            // An armed watch's timer polls for a window that may never open: it
            // is no sign of work still going on.
            if (msg.message != WM_TIMER || msg.hwnd != nullptr)
                quiet_since = GetTickCount();
            continue;
        }
        if (GetTickCount() - quiet_since >= kSettleMs)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kSettleMs, QS_ALLINPUT);
    }
}

::HWND main_window() {
    CWnd* main = AfxGetMainWnd();
    return main != nullptr ? win32::native(main->GetSafeHwnd()) : nullptr;
}

std::wstring class_of(::HWND hwnd) {
    wchar_t name[64];
    const int length = GetClassNameW(hwnd, name, 64);
    return std::wstring(name, std::size_t(length > 0 ? length : 0));
}

std::string text_of(::HWND hwnd) {
    std::wstring text(std::size_t(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    const int length = GetWindowTextW(hwnd, text.data(), int(text.size()));
    return win32::to_utf8(std::wstring_view(text.data(), std::size_t(length > 0 ? length : 0)));
}

std::vector<::HWND> thread_windows() {
    std::vector<::HWND> windows;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](::HWND hwnd, LPARAM list) {
            reinterpret_cast<std::vector<::HWND>*>(list)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<::HWND> children_of(::HWND hwnd) {
    std::vector<::HWND> children;
    for (::HWND child = GetWindow(hwnd, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

bool is_icon(::HWND control) {
    return class_of(control) == L"Static" &&
           (GetWindowLongPtrW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

/// The visible dialog windows other than the main window, the newest first.
std::vector<::HWND> modal_windows() {
    std::vector<::HWND> found;
    for (::HWND hwnd : thread_windows())
        if (hwnd != main_window() && IsWindowVisible(hwnd) && class_of(hwnd) == L"#32770")
            found.push_back(hwnd);
    return found;
}

::HWND open_menu() {
    for (::HWND hwnd : thread_windows())
        if (IsWindowVisible(hwnd) && class_of(hwnd) == L"#32768")
            return hwnd;
    // Wine's menus may belong to no thread's list: look at the desktop's windows.
    ::HWND menu = FindWindowW(L"#32768", nullptr);
    return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

INPUT key_input(WORD virtual_key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtual_key;
    input.ki.wScan = WORD(MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (virtual_key == VK_APPS)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    return input;
}

INPUT unicode_input(wchar_t unit, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = unit;
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    return input;
}

void send(std::vector<INPUT> inputs) {
    if (!inputs.empty())
        SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
}

/// Brings `hwnd` to the front, where the keyboard's input goes.
bool activate(::HWND hwnd) {
    if (hwnd == nullptr)
        return false;
    if (GetForegroundWindow() != hwnd)
        SetForegroundWindow(hwnd);
    return GetForegroundWindow() == hwnd;
}

/// The window that keys go to: an open modal window, else the main window.
::HWND key_window() {
    const std::vector<::HWND> modal = modal_windows();
    return !modal.empty() ? modal.front() : main_window();
}

WORD virtual_key(Key key) {
    switch (key) {
        case Key::Enter:
            return VK_RETURN;
        case Key::Escape:
            return VK_ESCAPE;
        case Key::Tab:
        case Key::BackTab:
            return VK_TAB;
        case Key::Space:
            return VK_SPACE;
        case Key::A:
        case Key::CyrillicEfOnA:
            return 'A';
        case Key::C:
            return 'C';
        case Key::V:
            return 'V';
        case Key::X:
            return 'X';
        case Key::Left:
            return VK_LEFT;
        case Key::Right:
            return VK_RIGHT;
        case Key::Up:
            return VK_UP;
        case Key::Down:
            return VK_DOWN;
        case Key::Home:
            return VK_HOME;
        case Key::End:
            return VK_END;
        case Key::PageUp:
            return VK_PRIOR;
        case Key::PageDown:
            return VK_NEXT;
        case Key::Backspace:
            return VK_BACK;
        case Key::Delete:
            return VK_DELETE;
        case Key::Z:
        case Key::CyrillicYaOnZ:
            return 'Z';
        case Key::F1:
            return VK_F1;
        case Key::F4:
            return VK_F4;
        case Key::Menu:
            return VK_APPS;
    }
    return 0;
}

void close_everything_modal() {
    if (open_menu() != nullptr)
        EndMenu();
    for (::HWND hwnd : modal_windows())
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

/// A watch polls on a thread timer, which fires inside any message loop of the
/// thread: the message box's, a menu's, the layer's modal loop.
struct Watch {
    std::function<bool()> step;
    DWORD started;
};

std::map<UINT_PTR, Watch>& watches() {
    static std::map<UINT_PTR, Watch> armed;
    return armed;
}

void CALLBACK on_timer(::HWND, UINT, UINT_PTR id, DWORD) {
    auto found = watches().find(id);
    if (found == watches().end()) {
        KillTimer(nullptr, id);
        return;
    }
    // Stopped first: a step may run a nested loop, in which the timer would fire again.
    KillTimer(nullptr, id);
    Watch watch = std::move(found->second);
    watches().erase(found);
    bool done = watch.step();
    if (!done && GetTickCount() - watch.started > kGiveUpMs) {
        close_everything_modal();
        done = true;
    }
    if (!done) {
        const UINT_PTR again = SetTimer(nullptr, 0, kPollMs, on_timer);
        watches()[again] = std::move(watch);
    }
}

void poll(std::function<bool()> step) {
    const UINT_PTR id = SetTimer(nullptr, 0, kPollMs, on_timer);
    watches()[id] = Watch{std::move(step), GetTickCount()};
}

RECT window_rect(::HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

void record(::HWND modal, ModalWindow& seen) {
    seen.found = true;
    seen.caption = text_of(modal);
    for (::HWND child : children_of(modal)) {
        const std::wstring kind = class_of(child);
        if (!IsWindowVisible(child))
            continue;
        if (kind == L"Static" && is_icon(child)) {
            // The message box's icon is the system's shared exclamation mark.
            const auto icon = reinterpret_cast<::HICON>(SendMessageW(child, STM_GETICON, 0, 0));
            seen.warning_icon = icon != nullptr && icon == LoadIconW(nullptr, IDI_EXCLAMATION);
        } else if (kind == L"Static") {
            seen.texts.push_back(text_of(child));
        } else if (kind == L"Button") {
            seen.buttons.push_back(text_of(child));
        }
    }
    ::HWND owner = main_window();
    seen.owned_by_main_window = owner != nullptr && GetWindow(modal, GW_OWNER) == owner;
    if (owner != nullptr) {
        const RECT a = window_rect(modal);
        const RECT b = window_rect(owner);
        const int dx = (a.left + a.right) - (b.left + b.right);
        const int dy = (a.top + a.bottom) - (b.top + b.bottom);
        seen.centred_over_owner = (std::abs(dx) + std::abs(dy)) / 2 <= 2;
        seen.owner_takes_input = ::IsWindowEnabled(owner) != FALSE;
    }
}

/// The selection position `position` of `hwnd` in characters: an edit control
/// counts CR LF as two, the test interface a line break as one.
int characters_before(::HWND hwnd, int position) {
    std::wstring text(std::size_t(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    const int length = GetWindowTextW(hwnd, text.data(), int(text.size()));
    int breaks = 0;
    for (int i = 0; i + 1 < std::min(position, length + 1); ++i)
        if (text[std::size_t(i)] == L'\r' && text[std::size_t(i) + 1] == L'\n')
            ++breaks;
    return position - breaks;
}

::HWND control(CDialog& dialog, int id) {
    CWnd* item = dialog.GetDlgItem(id);
    return item != nullptr ? win32::native(item->GetSafeHwnd()) : nullptr;
}

}  // namespace

Driver::Driver(const char* program_path) {
    AfxWinInit(program_path);
}

Driver::~Driver() {
    CancelWatches();
    AfxWinTerm();
}

void Driver::Open(CDialog& dialog) {
    if (CWinApp* app = AfxGetApp())
        app->m_pMainWnd = &dialog;
    dialog.Create();
    ::HWND hwnd = win32::native(dialog.GetSafeHwnd());
    for (int attempt = 0; attempt < 50 && !activate(hwnd); ++attempt)
        pump();
    pump();
}

bool Driver::IsOpen(const CDialog& dialog) const {
    ::HWND hwnd = win32::native(dialog.GetSafeHwnd());
    return hwnd != nullptr && IsWindowVisible(hwnd);
}

void Driver::Close(CDialog& dialog) {
    if (::HWND hwnd = win32::native(dialog.GetSafeHwnd()))
        SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    pump();
}

void Driver::Press(Key key, unsigned modifiers) {
    activate(key_window());
    // Windows names a letter key by its place, whatever the layout: the A key is
    // 'A' with a Russian layout too. Without Ctrl the layout's letter is typed.
    if ((key == Key::CyrillicEfOnA || key == Key::CyrillicYaOnZ) && !(modifiers & kCtrl)) {
        const wchar_t letter = key == Key::CyrillicEfOnA ? L'\x0444' : L'\x044F';
        send({unicode_input(letter, false), unicode_input(letter, true)});
        pump();
        return;
    }
    std::vector<WORD> held;
    if (modifiers & kCtrl)
        held.push_back(VK_CONTROL);
    if ((modifiers & kShift) || key == Key::BackTab)
        held.push_back(VK_SHIFT);
    if (modifiers & kAlt)
        held.push_back(VK_MENU);
    const WORD vk = virtual_key(key);

    std::vector<INPUT> down;
    for (WORD modifier : held)
        down.push_back(key_input(modifier, false));
    down.push_back(key_input(vk, false));
    std::vector<INPUT> up{key_input(vk, true)};
    for (auto it = held.rbegin(); it != held.rend(); ++it)
        up.push_back(key_input(*it, true));

    if (modifiers & kCtrl) {
        // Ctrl stays down while the key is handled.
        send(down);
        pump();
        send(up);
    } else {
        down.insert(down.end(), up.begin(), up.end());
        send(down);
    }
    pump();
}

void Driver::Type(const std::string& text) {
    activate(key_window());
    for (wchar_t unit : win32::to_wide(text)) {
        send({unicode_input(unit, false), unicode_input(unit, true)});
        pump();
    }
}

void Driver::Click(CDialog& dialog, int id) {
    activate(win32::native(dialog.GetSafeHwnd()));
    if (::HWND button = control(dialog, id))
        SendMessageW(button, BM_CLICK, 0, 0);
    pump();
}

void Driver::RightClickBackground(CDialog& dialog) {
    ::HWND hwnd = win32::native(dialog.GetSafeHwnd());
    if (hwnd == nullptr)
        return;
    // A point of the client area that no control covers.
    RECT client;
    GetClientRect(hwnd, &client);
    POINT point{1, 1};
    for (int y = 1; y < client.bottom; y += 3) {
        if (ChildWindowFromPointEx(hwnd, POINT{1, y}, CWP_SKIPINVISIBLE) == hwnd) {
            point = POINT{1, y};
            break;
        }
    }
    const LPARAM at = MAKELPARAM(point.x, point.y);
    PostMessageW(hwnd, WM_RBUTTONDOWN, MK_RBUTTON, at);
    PostMessageW(hwnd, WM_RBUTTONUP, 0, at);
    pump();
}

void Driver::Selection(CDialog& dialog, int id, int& start, int& end) const {
    start = end = 0;
    ::HWND edit = control(dialog, id);
    if (edit == nullptr)
        return;
    DWORD from = 0;
    DWORD to = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    start = characters_before(edit, int(from));
    end = characters_before(edit, int(to));
}

int Driver::FirstVisibleLine(CDialog& dialog, int id) const {
    ::HWND edit = control(dialog, id);
    return edit != nullptr ? int(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0)) : 0;
}

void Driver::SetClipboard(const std::string& text) {
    const std::wstring wide = win32::to_wide(text);
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(main_window())) {
            EmptyClipboard();
            HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
            if (memory != nullptr) {
                auto* target = static_cast<wchar_t*>(GlobalLock(memory));
                std::copy(wide.c_str(), wide.c_str() + wide.size() + 1, target);
                GlobalUnlock(memory);
                if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr)
                    GlobalFree(memory);
            }
            CloseClipboard();
            return;
        }
        Sleep(10);
    }
}

std::string Driver::Clipboard() const {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(main_window())) {
            std::string text;
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
                    text = win32::to_utf8(wide);
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
            return text;
        }
        Sleep(10);
    }
    return {};
}

std::string Driver::WindowSystem() const {
    return "windows";
}

void Driver::WhenModalOpens(const std::string& caption, ModalWindow& seen, CloseBy by,
                            std::function<void()> while_open) {
    poll([caption, &seen, by, while_open] {
        ::HWND modal = nullptr;
        for (::HWND hwnd : modal_windows())
            if (text_of(hwnd) == caption && ::IsWindowEnabled(hwnd))
                modal = hwnd;
        // Keys go to the window in front only: wait until it is.
        if (modal == nullptr || (by != CloseBy::CloseBox && !activate(modal)))
            return false;
        record(modal, seen);
        if (while_open)
            while_open();
        switch (by) {
            case CloseBy::Enter:
            // Windows activates as it is asked, so a closed window is never reported active.
            case CloseBy::EnterActivatedLate:
                send({key_input(VK_RETURN, false), key_input(VK_RETURN, true)});
                break;
            case CloseBy::Escape:
                send({key_input(VK_ESCAPE, false), key_input(VK_ESCAPE, true)});
                break;
            case CloseBy::CloseBox:
                PostMessageW(modal, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
        }
        return true;
    });
}

void Driver::WhenPopupOpens(PopupMenu& seen, const std::string& choose) {
    const std::wstring wanted = win32::to_wide(choose);
    struct Progress {
        int target = -1;  ///< the item to choose, once the menu is read
        int keys = 0;     ///< arrow keys or Escapes sent
    };
    auto progress = std::make_shared<Progress>();
    poll([wanted, &seen, progress] {
        ::HWND window = open_menu();
        const auto menu = window != nullptr
                              ? reinterpret_cast<::HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0))
                              : nullptr;
        if (!seen.found) {
            if (menu == nullptr)
                return false;
            seen.found = true;
            for (int i = 0; i < GetMenuItemCount(menu); ++i) {
                MENUITEMINFOW item{};
                item.cbSize = sizeof item;
                item.fMask = MIIM_FTYPE | MIIM_STRING;
                wchar_t text[256] = {};
                item.dwTypeData = text;
                item.cch = 255;
                GetMenuItemInfoW(menu, UINT(i), TRUE, &item);
                const bool separator = (item.fType & MFT_SEPARATOR) != 0;
                seen.items.push_back(separator ? std::string() : win32::to_utf8(text));
                if (!separator && !wanted.empty() && wanted == text)
                    progress->target = i;
            }
        }
        if (++progress->keys > 40)
            return true;  // given up; the watch's time limit closes the menu
        if (progress->target >= 0 && menu != nullptr) {
            // As a user would: down the menu to the item, then Enter. A letter could
            // stand for two items (Wine adds its own "&About Wine").
            const bool there =
                GetMenuState(menu, UINT(progress->target), MF_BYPOSITION) & MF_HILITE;
            const WORD vk = there ? WORD(VK_RETURN) : WORD(VK_DOWN);
            send({key_input(vk, false), key_input(vk, true)});
            return there;
        }
        // Esc until the menu mode is over: after Alt+Space the first Esc closes the
        // menu and leaves the title bar's menu mode on, as on Windows.
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(GetCurrentThreadId(), &gui);
        if (menu == nullptr && (gui.flags & GUI_INMENUMODE) == 0)
            return true;
        send({key_input(VK_ESCAPE, false), key_input(VK_ESCAPE, true)});
        return false;
    });
}

std::vector<ControlGeometry> Driver::Controls(CDialog& dialog) const {
    std::vector<ControlGeometry> result;
    ::HWND hwnd = win32::native(dialog.GetSafeHwnd());
    if (hwnd == nullptr)
        return result;
    for (::HWND child : children_of(hwnd)) {
        RECT rect = window_rect(child);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&rect), 2);
        ControlGeometry geometry{
            rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, is_icon(child), 0};
        if (class_of(child) == L"Static" && !geometry.is_icon) {
            HDC dc = GetDC(child);
            HGDIOBJ old =
                SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(child, WM_GETFONT, 0, 0)));
            const std::wstring text = win32::to_wide(text_of(child));
            RECT needed{0, 0, geometry.width, 0};
            DrawTextW(dc, text.c_str(), int(text.size()), &needed,
                      DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL);
            SelectObject(dc, old);
            ReleaseDC(child, dc);
            geometry.text_height = needed.bottom - needed.top;
        }
        result.push_back(geometry);
    }
    return result;
}

BaseUnits Driver::Units(CDialog& dialog) const {
    ::HWND hwnd = win32::native(dialog.GetSafeHwnd());
    RECT units{0, 0, 4, 8};
    if (hwnd == nullptr || !MapDialogRect(hwnd, &units))
        return {};
    return {units.right, units.bottom};
}

void Driver::CancelWatches() {
    for (const auto& [id, watch] : watches())
        KillTimer(nullptr, id);
    watches().clear();
}

void Driver::ProcessEvents() {
    pump();
}

}  // namespace tarnel::ui::test

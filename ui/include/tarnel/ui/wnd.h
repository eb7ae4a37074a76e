// SPDX-License-Identifier: MIT
// Windows, edit controls, menus and painting: what the dialogs call, no more.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "tarnel/ui/types.h"

namespace tarnel::ui {

class CMenu;

/// A window of the backend seen through a member object. Calls on an object that
/// addresses no window do nothing and return empty results, as on Windows.
class CWnd {
  public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    HWND GetSafeHwnd() const { return m_hWnd; }

    /// Makes this object the one that stands for `hwnd`, as FromHandle returns it.
    BOOL Attach(HWND hwnd);
    HWND Detach();
    /// The attached object of `hwnd`, or a temporary object valid until the window goes.
    static CWnd* FromHandle(HWND hwnd);
    /// The window with the keyboard focus, or null.
    static CWnd* GetFocus();

    /// The whole text. A multi-line edit control gives its platform's line break
    /// between lines: "\r\n" on Windows, "\n" in the Qt text box (see CString).
    /// Throws std::bad_alloc when memory for the copy runs out.
    void GetWindowText(CString& text) const;
    /// Replaces the whole text; CR LF, LF, CR, U+2028 and U+2029 all break lines. A
    /// text that an edit control cannot hold, or memory runs out for, leaves it as
    /// it was.
    void SetWindowText(std::string_view text);
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const;
    CWnd* SetFocus();
    BOOL IsWindowEnabled() const;
    BOOL IsIconic() const;
    void GetClientRect(CRect* rect) const;
    void GetWindowRect(CRect* rect) const;
    /// Sets the large or the small icon; one handle may serve as both.
    HICON SetIcon(HICON icon, BOOL big);
    /// The window's own system menu (FALSE), or null when it has none.
    CMenu* GetSystemMenu(BOOL revert) const;
    /// The name a screen reader announces.
    void SetAccessibleName(std::string_view name);

  protected:
    HWND m_hWnd = nullptr;
};

class CEdit : public CWnd {
  public:
    /// Selects from `start` to `end` (characters; end -1 = to the end, caret at `end`);
    /// start -1 removes the selection.
    void SetSel(int start, int end);
    void GetSel(int& start, int& end) const;
    /// Puts `text` (any line break, as SetWindowText takes it) in place of the
    /// selection; with `can_undo`, one step that Ctrl+Z undoes. FALSE, the control as
    /// it was, when the text would take the control beyond its limit or memory runs
    /// out: never a part of `text`.
    BOOL ReplaceSel(std::string_view text, BOOL can_undo = FALSE);
    /// The most characters that typing, pasting and ReplaceSel may leave in the
    /// control; 0 is the most it can hold, which dialogs set for every edit control.
    /// A line break counts as the control stores it: one character in the Qt text
    /// box, two (CR LF) on Windows.
    void SetLimitText(UINT characters);
    /// Scrolls the caret into view (EM_SCROLLCARET).
    void ScrollCaret();
};

/// A menu of command items. Ids and texts as AppendMenu gives them; "&" marks the
/// mnemonic and "\t" starts the shortcut shown at the right. A backend whose
/// platform has menus keeps the items there (m_hMenu); the others keep them here.
class CMenu {
  public:
    BOOL AppendMenu(UINT flags, UINT id = 0, std::string_view text = {});
    int GetMenuItemCount() const;
    UINT GetMenuItemID(int position) const;  ///< 0 for a separator
    CString GetMenuString(int position) const;
    BOOL IsSeparator(int position) const;

    struct Item {
        UINT flags;
        UINT id;
        CString text;
    };

    HMENU m_hMenu = nullptr;

  private:
    friend class CDialog;
    std::vector<Item> m_items;
};

/// Painting inside OnPaint: begins on construction and ends on destruction.
class CPaintDC {
  public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    /// Fills the background behind a minimised window's icon (WM_ICONERASEBKGND).
    void EraseIconBackground();
    /// Draws `icon` at the system icon size with its top-left corner at (x, y).
    BOOL DrawIcon(int x, int y, HICON icon);

  private:
    struct Painter;
    CWnd* m_window;
    std::unique_ptr<Painter> m_painter;
};

/// The icon of group `id` from the program's resources, at the system's icon size.
HICON LoadIcon(int id);

}  // namespace tarnel::ui

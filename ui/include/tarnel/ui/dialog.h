// SPDX-License-Identifier: MIT
// Dialogs built from a template of the program's resources, run modally.
#pragma once

#include <memory>

#include "tarnel/ui/wnd.h"

namespace tarnel::ui {

class CDialog;

/// The context of one data exchange: the dialog whose controls are bound.
struct CDataExchange {
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

/// Binds `control` to the dialog's control `id`, so that it addresses it from then on.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

/// A dialog on template `template_id`. The handlers are virtual, in place of a
/// message map: a derived dialog overrides those it handles and calls the base for
/// the default processing.
class CDialog : public CWnd {
  public:
    explicit CDialog(int template_id, CWnd* parent = nullptr);
    ~CDialog() override;

    /// Creates the window, runs it modally until EndDialog and destroys it. Returns
    /// the end code, or -1 when the window cannot be created.
    virtual int DoModal();
    /// Creates the window and shows it without a modal loop; DestroyWindow ends it.
    BOOL Create(CWnd* parent = nullptr);
    void DestroyWindow();
    /// Ends the dialog with `result`: the modal loop returns, or the window goes.
    void EndDialog(int result);
    /// The end code once the dialog has ended, otherwise 0.
    int GetResult() const { return m_result; }

    /// The system menu of the window, whose items OnSysCommand receives; null when
    /// the template has no WS_SYSMENU or the window is not open.
    CMenu* GetSystemMenu(BOOL revert) const;
    /// Opens the system menu at the window's top-left corner (Alt+Space).
    void ShowSystemMenu();

    /// Calls OnCancel through OnSysCommand(SC_CLOSE), as the close box does.
    void Close();

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    /// Keys the window takes before the dialog manager and the focused control see
    /// them: Alt+Space opens the system menu, Alt+F4 closes. Returns TRUE for a
    /// keystroke that goes no further.
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual void DoDataExchange(CDataExchange* dx);
    /// A choice of the system menu: SC_CLOSE ends the dialog through OnCancel.
    virtual void OnSysCommand(UINT id, LPARAM lparam);
    /// Painting: the base paints the dialog as usual.
    virtual void OnPaint();
    /// The cursor shown while the minimised window is dragged; the base has none.
    virtual HICON OnQueryDragIcon();
    /// A command from a control: IDOK goes to OnOK, IDCANCEL to OnCancel.
    virtual void OnCommand(int id);

    struct Window;  ///< the backend's window

  private:
    BOOL CreateWindowFromTemplate(CWnd* parent, bool modal);
    void InitialiseWindow();
    void ForgetWindow();

    int m_template_id;
    CWnd* m_parent;
    int m_result = 0;
    std::unique_ptr<Window> m_window;
    mutable CMenu m_system_menu;
    friend struct Window;
};

}  // namespace tarnel::ui

// SPDX-License-Identifier: MIT
// The main window: the password field, the text box and "Process".
#pragma once

#include "tarnel/ui/dialog.h"

namespace tarnel::app {

class CMainDialog : public ui::CDialog {
  public:
    explicit CMainDialog(ui::CWnd* parent = nullptr);
    ~CMainDialog() override;

    /// Ctrl+A (left or right Ctrl, Shift and Alt not looked at) selects the whole
    /// text box when it has the focus; the keystroke goes on in every case.
    ui::BOOL PreTranslateMessage(ui::MSG* msg) override;
    /// Binds the system-menu entry and the icons; the focus goes to "Process".
    ui::BOOL OnInitDialog() override;
    /// "Process": seals the text box's text, or opens it when it is a sealed text.
    /// The new text is one step that Ctrl+Z in the text box undoes; the engine's
    /// warning for a doubtful result follows it in a message box. A text that
    /// cannot be processed, or whose result the box cannot hold or memory runs out
    /// for, is left as it was with a message.
    void OnOK() override;
    void OnCancel() override;
    /// The about entry (any id that differs from it only in the low four bits)
    /// opens the about box; every other command gets the default processing.
    void OnSysCommand(ui::UINT id, ui::LPARAM lparam) override;
    /// Minimised, the window shows its icon centred; otherwise it paints as usual.
    void OnPaint() override;
    ui::HICON OnQueryDragIcon() override;

  protected:
    void DoDataExchange(ui::CDataExchange* dx) override;

  private:
    /// What OnOK does; throws std::bad_alloc when memory runs out.
    void ProcessTheText();
    /// Whether the box took `text` in place of its whole text.
    bool ShowNewText(std::string_view text);
    void WipeWorkingStrings() noexcept;

    ui::CEdit m_editPassword;
    ui::CEdit m_editUnbound;  ///< bound to no control: Ctrl+A outside the text box
    ui::CEdit m_editText;
    ui::CString m_strPassword;
    ui::CString m_strText;
    ui::HICON m_hIcon;
};

}  // namespace tarnel::app

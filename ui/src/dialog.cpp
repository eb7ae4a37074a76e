// SPDX-License-Identifier: MIT
// The default processing of dialogs, the same for every backend.
#include "tarnel/ui/dialog.h"

#include "tarnel/ui/resource.h"

namespace tarnel::ui {

BOOL CDialog::OnInitDialog() {
    CDataExchange dx{this, FALSE};
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (msg->message != WM_SYSKEYDOWN)
        return FALSE;
    if (msg->wParam == VK_SPACE && GetSystemMenu(FALSE) != nullptr) {
        ShowSystemMenu();
        return TRUE;
    }
    if (msg->wParam == VK_F4) {
        OnSysCommand(SC_CLOSE, 0);
        return TRUE;
    }
    return FALSE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnSysCommand(UINT id, LPARAM) {
    if ((id & 0xFFF0u) == SC_CLOSE)
        OnCancel();
}

void CDialog::OnPaint() {}

HICON CDialog::OnQueryDragIcon() {
    return nullptr;
}

void CDialog::OnCommand(int id) {
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
}

void CDialog::Close() {
    OnSysCommand(SC_CLOSE, 0);
}

CMenu* CDialog::GetSystemMenu(BOOL revert) const {
    const DialogTemplate* dialog = AfxFindDialogTemplate(m_template_id);
    if (m_window == nullptr || dialog == nullptr || (dialog->style & WS_SYSMENU) == 0)
        return nullptr;
    if (revert || m_system_menu.GetMenuItemCount() == 0) {
        m_system_menu.m_items.clear();
        m_system_menu.AppendMenu(MF_STRING, SC_CLOSE, "&Close\tAlt+F4");
    }
    return revert ? nullptr : &m_system_menu;
}

}  // namespace tarnel::ui

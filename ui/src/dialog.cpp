// SPDX-License-Identifier: MIT
// The default processing of dialogs that is the same for every backend.
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

}  // namespace tarnel::ui

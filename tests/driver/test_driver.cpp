// SPDX-License-Identifier: MIT
// What the test driver reads through the layer alone, the same for every backend.
#include "tarnel/ui/test_driver.h"

#include "tarnel/ui/dialog.h"

namespace tarnel::ui::test {

int Driver::FocusedId() const {
    CWnd* focus = CWnd::GetFocus();
    return focus != nullptr ? focus->GetDlgCtrlID() : 0;
}

std::string Driver::Text(CDialog& dialog, int id) const {
    CString text;
    if (CWnd* item = dialog.GetDlgItem(id))
        item->GetWindowText(text);
    return text;
}

}  // namespace tarnel::ui::test

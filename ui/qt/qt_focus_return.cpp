// SPDX-License-Identifier: MIT
#include <QWidget>

#include "qt_backend.h"

namespace tarnel::ui::qt {

void return_focus(QWidget* focus) {
    if (focus == nullptr || !focus->isVisible())
        return;
    focus->activateWindow();
    focus->setFocus(Qt::OtherFocusReason);
}

}  // namespace tarnel::ui::qt

// SPDX-License-Identifier: MIT
#include "qt_password_events.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QStyle>
#include <QWidget>

namespace tarnel::ui::qt {
namespace {

QAccessible::UpdateHandler g_next_handler = nullptr;
bool g_installed = false;

QString masked(const QString& text, QAccessibleInterface* field) {
    auto* widget = qobject_cast<QWidget*>(field->object());
    const int mask = widget != nullptr ? widget->style()->styleHint(
                                             QStyle::SH_LineEdit_PasswordCharacter, nullptr, widget)
                                       : 0;
    return QString(text.size(), mask != 0 ? QChar(mask) : QChar(u'*'));
}

void pass_on(QAccessibleEvent* event) {
    if (g_next_handler != nullptr) {
        g_next_handler(event);
        return;
    }
    // Qt's own way to the platform's bridge, which an installed handler stands in
    // front of. (The window has no item views, whose table events this would repeat.)
    const QAccessible::UpdateHandler self = QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(self);
}

void mask_password_text(QAccessibleEvent* event) {
    QAccessibleInterface* field = event->accessibleInterface();
    if (field == nullptr || !field->state().passwordEdit) {
        pass_on(event);
        return;
    }
    switch (event->type()) {
        case QAccessible::TextInserted: {
            auto* inserted = static_cast<QAccessibleTextInsertEvent*>(event);
            QAccessibleTextInsertEvent safe(field, inserted->changePosition(),
                                            masked(inserted->textInserted(), field));
            pass_on(&safe);
            break;
        }
        case QAccessible::TextRemoved: {
            auto* removed = static_cast<QAccessibleTextRemoveEvent*>(event);
            QAccessibleTextRemoveEvent safe(field, removed->changePosition(),
                                            masked(removed->textRemoved(), field));
            pass_on(&safe);
            break;
        }
        case QAccessible::TextUpdated: {
            auto* updated = static_cast<QAccessibleTextUpdateEvent*>(event);
            QAccessibleTextUpdateEvent safe(field, updated->changePosition(),
                                            masked(updated->textRemoved(), field),
                                            masked(updated->textInserted(), field));
            pass_on(&safe);
            break;
        }
        default:
            pass_on(event);
    }
}

}  // namespace

void MaskPasswordTextEvents() {
    if (g_installed)
        return;
    g_installed = true;
    g_next_handler = QAccessible::installUpdateHandler(mask_password_text);
}

}  // namespace tarnel::ui::qt

// SPDX-License-Identifier: MIT
// The test driver's ear on the accessibility bridge: the text change events that a
// screen reader would hear, after everything the program puts in front of the bridge.
#include <QAccessible>
#include <QAccessibleInterface>
#include <QPointer>
#include <QWidget>
#include <utility>
#include <vector>

#include "qt_backend.h"
#include "tarnel/ui/test_driver.h"

namespace tarnel::ui::test {
namespace {

struct Heard {
    QPointer<QObject> control;
    QString text;
};

QAccessible::UpdateHandler g_next = nullptr;
std::vector<Heard> g_heard;

// Last in the chain of handlers: what reaches it is what the bridge gets.
void hear(QAccessibleEvent* event) {
    QObject* control = event->object();
    if (control == nullptr && event->accessibleInterface() != nullptr)
        control = event->accessibleInterface()->object();
    switch (event->type()) {
        case QAccessible::TextInserted:
            g_heard.push_back(
                {control, static_cast<QAccessibleTextInsertEvent*>(event)->textInserted()});
            break;
        case QAccessible::TextRemoved:
            g_heard.push_back(
                {control, static_cast<QAccessibleTextRemoveEvent*>(event)->textRemoved()});
            break;
        case QAccessible::TextUpdated: {
            auto* updated = static_cast<QAccessibleTextUpdateEvent*>(event);
            g_heard.push_back({control, updated->textRemoved()});
            g_heard.push_back({control, updated->textInserted()});
            break;
        }
        default:
            break;
    }
    if (g_next != nullptr) {
        g_next(event);
        return;
    }
    const QAccessible::UpdateHandler self = QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(self);
}

}  // namespace

void install_accessibility_ear() {
    g_next = QAccessible::installUpdateHandler(hear);
}

std::vector<std::string> Driver::HeardTextChanges(CDialog& dialog, int id,
                                                  const std::string& text) {
    QWidget* window = qt::widget_of(dialog.GetSafeHwnd());
    auto* owner = dynamic_cast<qt::DialogWidget*>(window);
    QWidget* control = owner != nullptr ? owner->item(id) : nullptr;
    if (control == nullptr)
        return {};
    g_heard.clear();
    // Qt's updateAccessibility drops every event while no bridge is active, before
    // the handlers; the driver hands the events to the first handler as it would.
    const QAccessible::UpdateHandler first = QAccessible::installUpdateHandler(nullptr);
    QAccessible::installUpdateHandler(first);
    const QString typed = QString::fromStdString(text);
    QAccessibleTextInsertEvent inserted(control, 0, typed);
    first(&inserted);
    QAccessibleTextRemoveEvent removed(control, 0, typed);
    first(&removed);
    QAccessibleTextUpdateEvent replaced(control, 0, typed, typed);
    first(&replaced);
    std::vector<std::string> texts;
    for (const Heard& heard : g_heard)
        if (heard.control == control)
            texts.push_back(heard.text.toStdString());
    g_heard.clear();
    return texts;
}

}  // namespace tarnel::ui::test

// SPDX-License-Identifier: MIT
#include "qt_text_box_accessible.h"

#include <QTextCursor>
#include <QTextDocument>

#include "qt_text_box.h"
#include "qt_text_document.h"

namespace tarnel::ui::qt {
namespace {

QAccessibleInterface* text_box_factory(const QString&, QObject* object) {
    if (auto* box = dynamic_cast<TextBox*>(object))
        return new TextBoxAccessible(box);
    return nullptr;
}

}  // namespace

TextBoxAccessible::TextBoxAccessible(TextBox* box)
    : QAccessibleWidget(box, QAccessible::EditableText) {}

void TextBoxAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(text_box_factory);
        return true;
    }();
    (void)installed;
}

TextBox* TextBoxAccessible::Box() const {
    return static_cast<TextBox*>(widget());
}

void* TextBoxAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString TextBoxAccessible::text(QAccessible::Text type) const {
    if (type == QAccessible::Value)
        return text(0, characterCount());
    return QAccessibleWidget::text(type);
}

void TextBoxAccessible::setText(QAccessible::Text type, const QString& text) {
    if (type != QAccessible::Value) {
        QAccessibleWidget::setText(type, text);
        return;
    }
    replaceText(0, characterCount(), text);
}

QAccessible::State TextBoxAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = !Box()->isReadOnly();
    state.readOnly = Box()->isReadOnly();
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

void TextBoxAccessible::selection(int index, int* start, int* end) const {
    *start = *end = 0;
    if (index != 0)
        return;
    int from = 0, to = 0;
    Box()->Selection(from, to);
    if (from != to) {
        *start = from;
        *end = to;
    }
}

int TextBoxAccessible::selectionCount() const {
    return Box()->textCursor().hasSelection() ? 1 : 0;
}

void TextBoxAccessible::addSelection(int start, int end) {
    setSelection(0, start, end);
}

void TextBoxAccessible::removeSelection(int index) {
    if (index == 0)
        Box()->Select(-1, -1);
}

void TextBoxAccessible::setSelection(int index, int start, int end) {
    if (index == 0)
        Box()->Select(start, end);
}

int TextBoxAccessible::cursorPosition() const {
    return UserPosition(*Box()->document(), Box()->textCursor().position());
}

void TextBoxAccessible::setCursorPosition(int position) {
    Box()->Select(position, position);
}

QString TextBoxAccessible::text(int start, int end) const {
    const QTextDocument& document = *Box()->document();
    return TextBetween(document, DocumentPosition(document, start),
                       DocumentPosition(document, end));
}

int TextBoxAccessible::characterCount() const {
    const QTextDocument& document = *Box()->document();
    return UserPosition(document, document.characterCount() - 1);
}

QRect TextBoxAccessible::characterRect(int offset) const {
    TextBox* box = Box();
    QTextCursor at(box->document());
    at.setPosition(DocumentPosition(*box->document(), offset));
    QRect rect = box->cursorRect(at);
    rect.setWidth(box->fontMetrics().averageCharWidth());
    return QRect(box->viewport()->mapToGlobal(rect.topLeft()), rect.size());
}

int TextBoxAccessible::offsetAtPoint(const QPoint& point) const {
    TextBox* box = Box();
    const QPoint inside = box->viewport()->mapFromGlobal(point);
    return UserPosition(*box->document(), box->cursorForPosition(inside).position());
}

void TextBoxAccessible::scrollToSubstring(int start, int) {
    setCursorPosition(start);
    Box()->ensureCursorVisible();
}

QString TextBoxAccessible::attributes(int, int* start, int* end) const {
    // Plain text: the same (no) attributes all along.
    *start = 0;
    *end = characterCount();
    return QString();
}

void TextBoxAccessible::deleteText(int start, int end) {
    replaceText(start, end, QString());
}

void TextBoxAccessible::insertText(int offset, const QString& text) {
    replaceText(offset, offset, text);
}

void TextBoxAccessible::replaceText(int start, int end, const QString& text) {
    if (Box()->isReadOnly())
        return;
    Box()->Select(start, end);
    Box()->ReplaceSelection(text, true);
}

}  // namespace tarnel::ui::qt

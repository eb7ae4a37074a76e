// SPDX-License-Identifier: MIT
// What a screen reader learns of the text box: its text, caret and selection in the
// user's positions, without the joints between display blocks that Qt's own
// interface for a plain text edit would report as line breaks.
#pragma once

#include <QAccessibleWidget>

namespace tarnel::ui::qt {

class TextBox;

class TextBoxAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
  public:
    explicit TextBoxAccessible(TextBox* box);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text type, const QString& text) override;
    QAccessible::State state() const override;

    // QAccessibleTextInterface
    void selection(int index, int* start, int* end) const override;
    int selectionCount() const override;
    void addSelection(int start, int end) override;
    void removeSelection(int index) override;
    void setSelection(int index, int start, int end) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int start, int end) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int start, int end) override;
    QString attributes(int offset, int* start, int* end) const override;

    // QAccessibleEditableTextInterface
    void deleteText(int start, int end) override;
    void insertText(int offset, const QString& text) override;
    void replaceText(int start, int end, const QString& text) override;

    /// Makes Qt ask this class for every TextBox.
    static void Install();

  private:
    TextBox* Box() const;
};

}  // namespace tarnel::ui::qt

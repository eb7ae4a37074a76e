// SPDX-License-Identifier: MIT
// The multi-line edit control: Qt's plain text edit over a document of short display
// blocks (see qt_text_document.h), so that a text of megabytes, or one line of them,
// stays as quick to show and edit as a short note. It hides the joints between the
// blocks of a long line from every path that reads, moves or deletes.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QStringView>
#include <QTextBlock>

namespace tarnel::ui::qt {

class LineFill;

class TextBox : public QPlainTextEdit {
  public:
    explicit TextBox(QWidget* parent);

    /// The whole text with `line_break` between lines.
    QString Text(QStringView line_break) const;
    /// Replaces the text and forgets the undo history; lines end in "\n".
    void SetText(QStringView text);
    /// Selects from `start` to `end` (the user's positions; end -1 = the end, the
    /// caret at `end`); start -1 removes the selection.
    void Select(int start, int end);
    void Selection(int& start, int& end) const;
    /// Puts `text` (lines end in "\n") in place of the selection, as one undo step
    /// with `can_undo`, and forgets the undo history without.
    void ReplaceSelection(QStringView text, bool can_undo);

    /// For tests: the first block in view, and where a block is in the viewport.
    QTextBlock FirstVisibleBlock() const { return firstVisibleBlock(); }
    QRectF BlockArea(const QTextBlock& block) const {
        return blockBoundingGeometry(block).translated(contentOffset());
    }

  protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    /// The lines as the layout wraps them now.
    LineFill Fill() const;
    /// Replaces the selection of the text cursor with `text` in one edit block.
    void Insert(QStringView text);
    /// Whether document positions `a` and `b` are the same position for the user.
    bool SamePosition(int a, int b) const;
};

}  // namespace tarnel::ui::qt

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
#include <string>
#include <string_view>

#include "qt_compact_text.h"

class QMenu;

namespace tarnel::ui::qt {

class LineFill;

class TextBox : public QPlainTextEdit {
  public:
    explicit TextBox(QWidget* parent);

    /// The whole text with `line_break` between lines, in UTF-8.
    std::string Text(std::string_view line_break) const;
    /// Replaces the text and forgets the undo history; lines end in "\n".
    void SetText(QStringView text);
    /// Selects from `start` to `end` (the user's positions; end -1 = the end, the
    /// caret at `end`); start -1 removes the selection.
    void Select(int start, int end);
    void Selection(int& start, int& end) const;
    /// Puts `text` (lines end in "\n") in place of the selection, as one undo step
    /// with `can_undo`, and forgets the undo history without. A large step is
    /// kept out of the document's history, which would hold the replaced text at
    /// twice its size: it is the one step left to undo (or redo) below the edits
    /// that follow it.
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
    /// A large replacement, kept aside: the range it put in, in the user's positions,
    /// and the text to put back there.
    struct LargeStep {
        enum class State { None, Undoable, Redoable };
        State state = State::None;
        int start = 0;
        int length = 0;
        CompactText other;
    };

    void ReplaceLarge(QString text);
    /// Replaces the selection with `text` without a step of the document's history,
    /// which it forgets.
    void ReplaceOutsideHistory(QString text);
    /// Undoes or redoes the large step, when the document has nothing to undo or
    /// redo before it; whether it did.
    bool LargeUndo(bool undo);
    /// The Undo and Redo entries of `menu` also offer the large step.
    void OfferLargeStep(QMenu& menu);

    /// The lines as the layout wraps them now.
    LineFill Fill() const;
    /// Replaces the selection of the text cursor with `text` in one edit block.
    void Insert(QString text);
    /// Whether document positions `a` and `b` are the same position for the user.
    bool SamePosition(int a, int b) const;

    LargeStep m_large;
};

}  // namespace tarnel::ui::qt

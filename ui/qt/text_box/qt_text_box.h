// SPDX-License-Identifier: MIT
// The multi-line edit control: Qt's plain text edit over a document of short display
// blocks (see qt_text_document.h), so that a text of megabytes, or one line of them,
// stays as quick to show and edit as a short note. It hides the joints between the
// blocks of a long line from every path that reads, moves or deletes.
//
// The entry point of the files in this folder; docs/text-box.md tells which does
// what, the rules they keep and the tests that hold them to it.
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
    /// The most characters (UTF-16 units, a line break one) the box ever holds. Qt,
    /// built without exceptions, aborts where an allocation of its own fails, so no
    /// request of Qt's may approach the 2^30 units a QString holds: reading the text
    /// out copies all of it into one QString, and a "Process" result comes in as
    /// one. A quarter of that keeps each such copy at 512 MiB and the UTF-8 of the
    /// text within 768 MiB, and the document's int positions far from their end.
    static constexpr qsizetype kMostCharacters = qsizetype{1} << 28;

    explicit TextBox(QWidget* parent);

    /// The whole text in UTF-8, lines ending in "\n" (the joints left out). Throws
    /// std::bad_alloc when memory runs out.
    std::string Text() const;
    /// Replaces the text and forgets the undo history; lines end in "\n". False, the
    /// box as it was, for more than kMostCharacters or when memory runs out.
    bool SetText(QString text);
    /// The most characters that typing, pasting and ReplaceSelection may leave in
    /// the box; 0, or more than kMostCharacters, means kMostCharacters.
    void SetLimit(qsizetype characters);
    qsizetype Limit() const { return m_limit; }
    /// Selects from `start` to `end` (the user's positions; end -1 = the end, the
    /// caret at `end`); start -1 removes the selection.
    void Select(int start, int end);
    void Selection(int& start, int& end) const;
    /// Puts `text` (lines end in "\n") in place of the selection, as one undo step
    /// with `can_undo`, and forgets the undo history without. A large step is
    /// kept out of the document's history, which would hold the replaced text at
    /// twice its size: it is the one step left to undo (or redo) below the edits
    /// that follow it. False, the box as it was, when the text would go beyond the
    /// limit or memory runs out.
    bool ReplaceSelection(QString text, bool can_undo);

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

    // The replacements below throw std::bad_alloc before they change anything.
    void ReplaceLarge(QString text);
    /// Replaces `range` with `text` without a step of the document's history, which
    /// it forgets; the caret ends after the text.
    void ReplaceOutsideHistory(const QTextCursor& range, QString text);
    /// Undoes or redoes the large step, when the document has nothing to undo or
    /// redo before it; whether the key was its. A step that cannot be made (the
    /// limit, memory) leaves the box as it was.
    bool LargeUndo(bool undo);
    /// Whether `added` characters in place of `range`'s selection stay within the
    /// limit; beeps when not.
    bool Fits(const QTextCursor& range, qsizetype added) const;
    /// The Undo and Redo entries of `menu` also offer the large step.
    void OfferLargeStep(QMenu& menu);

    /// The lines as the layout wraps them now.
    LineFill Fill() const;
    /// Replaces the selection of the text cursor with `text` in one edit block.
    void Insert(QString text);
    /// Insert() of what a key, an input method or a paste brings, within the limit;
    /// whether it went in.
    bool InsertTyped(QString text);
    /// Whether document positions `a` and `b` are the same position for the user.
    bool SamePosition(int a, int b) const;

    LargeStep m_large;
    qsizetype m_limit = kMostCharacters;
};

}  // namespace tarnel::ui::qt

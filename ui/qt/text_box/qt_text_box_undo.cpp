// SPDX-License-Identifier: MIT
// The text box's large undo step. The document's own history would keep a replaced
// text of megabytes in its buffer, at two bytes a character; the box keeps it
// compacted instead and gives the memory back to the system.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

#include "qt_line_fill.h"
#include "qt_raw_text.h"
#include "qt_text_box.h"
#include "qt_text_document.h"

namespace tarnel::ui::qt {
namespace {

// From this many characters, replaced and put in together, a step is large.
constexpr qsizetype kLargeStep = 256 * 1024;

/// Once the event that replaced a large text is over, and the copies made for it are
/// freed, returns their memory.
void return_free_memory_soon(QObject* context) {
    QTimer::singleShot(0, context, [] { ReturnFreeMemory(); });
}

}  // namespace

bool TextBox::ReplaceSelection(QString text, bool can_undo) {
    QString lines = WithLineFeeds(std::move(text));
    const QTextCursor cursor = textCursor();
    if (!Fits(cursor, lines.size()))
        return false;
    try {
        if (!can_undo) {
            Insert(std::move(lines));
            document()->clearUndoRedoStacks();
            m_large.other.Clear();
            m_large.state = LargeStep::State::None;
        } else if (cursor.selectionEnd() - cursor.selectionStart() + lines.size() >= kLargeStep) {
            ReplaceLarge(std::move(lines));
        } else {
            Insert(std::move(lines));
        }
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::system_error&) {
        return false;  // no thread to keep the replaced text
    }
    return true;
}

void TextBox::ReplaceLarge(QString text) {
    const QTextCursor cursor = textCursor();
    // Kept aside first, so that a failure leaves the box and its undo step as they were.
    CompactText replaced;
    replaced.Store(CopyRaw(*document(), cursor.selectionStart(), cursor.selectionEnd()));
    const int start = UserPosition(*document(), cursor.selectionStart());
    const int length = static_cast<int>(text.size());
    ReplaceOutsideHistory(cursor, std::move(text));
    m_large.other.Swap(replaced);
    m_large.start = start;
    m_large.length = length;
    m_large.state = LargeStep::State::Undoable;
    return_free_memory_soon(this);
}

void TextBox::ReplaceOutsideHistory(const QTextCursor& range, QString text) {
    QTextDocument& doc = *document();
    LineFill fill = Fill();
    PreparedText prepared = PrepareText(range, std::move(text), &fill);
    // Nothing below throws.
    const bool whole =
        range.selectionStart() == 0 && range.selectionEnd() == doc.characterCount() - 1;
    doc.setUndoRedoEnabled(false);  // which also forgets the history before
    QTextCursor cursor = range;
    if (whole) {
        // The document's buffer would keep the replaced text, unreachable; clearing
        // the document drops the buffer.
        doc.clear();
        doc.setDefaultFont(font());
        cursor = QTextCursor(&doc);
    }
    cursor.beginEditBlock();
    RemoveSelection(cursor);
    InsertText(cursor, std::move(prepared), &fill);
    cursor.endEditBlock();
    setTextCursor(cursor);
    doc.setUndoRedoEnabled(true);
}

bool TextBox::LargeUndo(bool undo) {
    const LargeStep::State wanted = undo ? LargeStep::State::Undoable : LargeStep::State::Redoable;
    const bool document_first =
        undo ? document()->isUndoAvailable() : document()->isRedoAvailable();
    if (m_large.state != wanted || document_first || isReadOnly())
        return false;
    QTextCursor range = textCursor();
    range.setPosition(DocumentPosition(*document(), m_large.start));
    range.setPosition(DocumentPosition(*document(), m_large.start + m_large.length),
                      QTextCursor::KeepAnchor);
    try {
        std::optional<QString> back = m_large.other.Read();
        if (!back) {
            // Memory ran out while the text was kept: there is nothing to go back to.
            m_large.other.Clear();
            m_large.state = LargeStep::State::None;
            QApplication::beep();
            return true;
        }
        if (!Fits(range, back->size())) {
            QApplication::beep();
            return true;
        }
        CompactText current;
        current.Store(CopyRaw(*document(), range.selectionStart(), range.selectionEnd()));
        const int length = static_cast<int>(back->size());
        ReplaceOutsideHistory(range, std::move(*back));
        m_large.other.Swap(current);
        m_large.length = length;
        m_large.state = undo ? LargeStep::State::Redoable : LargeStep::State::Undoable;
    } catch (const std::bad_alloc&) {
        QApplication::beep();
        return true;
    } catch (const std::system_error&) {
        QApplication::beep();
        return true;
    }
    ensureCursorVisible();
    return_free_memory_soon(this);
    return true;
}

void TextBox::OfferLargeStep(QMenu& menu) {
    for (QAction* action : menu.actions()) {
        const bool undo = action->objectName() == QLatin1String("edit-undo");
        if (!undo && action->objectName() != QLatin1String("edit-redo"))
            continue;
        const bool document_has =
            undo ? document()->isUndoAvailable() : document()->isRedoAvailable();
        const LargeStep::State wanted =
            undo ? LargeStep::State::Undoable : LargeStep::State::Redoable;
        if (document_has || m_large.state != wanted || isReadOnly())
            continue;
        action->setEnabled(true);
        QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
        QObject::connect(action, &QAction::triggered, this, [this, undo] { LargeUndo(undo); });
    }
}

}  // namespace tarnel::ui::qt

// SPDX-License-Identifier: MIT
// The text box's large undo step. The document's own history would keep a replaced
// text of megabytes in its buffer, at two bytes a character; the box keeps it
// compacted instead and gives the memory back to the system.
#include <QAction>
#include <QMenu>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <utility>

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

void TextBox::ReplaceSelection(QStringView text, bool can_undo) {
    QString lines = WithLineFeeds(text.toString());
    const QTextCursor cursor = textCursor();
    if (!can_undo) {
        Insert(std::move(lines));
        document()->clearUndoRedoStacks();
        m_large.other.Clear();
        m_large.state = LargeStep::State::None;
        return;
    }
    if (cursor.selectionEnd() - cursor.selectionStart() + lines.size() >= kLargeStep) {
        ReplaceLarge(std::move(lines));
        return;
    }
    Insert(std::move(lines));
}

void TextBox::ReplaceLarge(QString text) {
    const QTextCursor cursor = textCursor();
    RawText replaced = CopyRaw(*document(), cursor.selectionStart(), cursor.selectionEnd());
    m_large.start = UserPosition(*document(), cursor.selectionStart());
    m_large.length = static_cast<int>(text.size());
    ReplaceOutsideHistory(std::move(text));
    m_large.other.Store(std::move(replaced));
    m_large.state = LargeStep::State::Undoable;
    return_free_memory_soon(this);
}

void TextBox::ReplaceOutsideHistory(QString text) {
    QTextDocument& doc = *document();
    const QTextCursor cursor = textCursor();
    const bool whole =
        cursor.selectionStart() == 0 && cursor.selectionEnd() == doc.characterCount() - 1;
    doc.setUndoRedoEnabled(false);  // which also forgets the history before
    if (whole) {
        // The document's buffer would keep the replaced text, unreachable; clearing
        // the document drops the buffer.
        doc.clear();
        doc.setDefaultFont(font());
    }
    Insert(std::move(text));
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
    RawText current = CopyRaw(*document(), range.selectionStart(), range.selectionEnd());
    QString back = m_large.other.Take();
    setTextCursor(range);
    m_large.length = static_cast<int>(back.size());
    ReplaceOutsideHistory(std::move(back));
    m_large.other.Store(std::move(current));
    m_large.state = undo ? LargeStep::State::Redoable : LargeStep::State::Undoable;
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

// SPDX-License-Identifier: MIT
#include "qt_text_box.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMimeData>
#include <QObject>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <utility>

#include "qt_backend.h"
#include "qt_line_fill.h"
#include "qt_raw_text.h"
#include "qt_text_box_accessible.h"
#include "qt_text_document.h"
#include "tarnel/ui/allocation_point.h"

namespace tarnel::ui::qt {
namespace {

bool deletes_backward(const QKeyEvent& event) {
    return event.key() == Qt::Key_Backspace || event.matches(QKeySequence::DeleteStartOfWord);
}

bool deletes_forward(const QKeyEvent& event) {
    return event.matches(QKeySequence::Delete) || event.matches(QKeySequence::DeleteEndOfWord) ||
           event.matches(QKeySequence::DeleteEndOfLine);
}

/// Keeps the kind of the block that a selection begins, when an edit of Qt's own
/// removes the selection (typing over it, cutting, moving it by drag and drop).
class SelectionGuard {
  public:
    explicit SelectionGuard(const QTextCursor& cursor) {
        if (!cursor.hasSelection())
            return;
        const QTextDocument& document = *cursor.document();
        const int start = cursor.selectionStart();
        const QTextBlock block = document.findBlock(start);
        if (block.position() != start || block.blockNumber() == 0)
            return;
        m_start.emplace(cursor.document());
        m_start->setPosition(start);
        m_start->setKeepPositionOnInsert(true);
        m_continues = ContinuesLine(block);
        // Only a new edit counts: undo and redo bring back every block as it was.
        m_connection = QObject::connect(cursor.document(), &QTextDocument::undoCommandAdded,
                                        [this] { m_edited = true; });
    }
    SelectionGuard(const SelectionGuard&) = delete;
    SelectionGuard& operator=(const SelectionGuard&) = delete;

    ~SelectionGuard() {
        if (!m_start)
            return;
        QObject::disconnect(m_connection);
        if (!m_edited)
            return;
        const QTextBlock block = m_start->document()->findBlock(m_start->position());
        if (block.position() != m_start->position() || ContinuesLine(block) == m_continues)
            return;
        QTextCursor at(block);
        QTextBlockFormat format = block.blockFormat();
        if (m_continues)
            format.setProperty(kContinuesLine, true);
        else
            format.clearProperty(kContinuesLine);
        at.joinPreviousEditBlock();
        at.setBlockFormat(format);
        at.endEditBlock();
    }

  private:
    std::optional<QTextCursor> m_start;
    bool m_continues = false;
    bool m_edited = false;
    QMetaObject::Connection m_connection;
};

}  // namespace

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {
    TextBoxAccessible::Install();
    // Without kerning and ligatures, where a script does not need them, a line is
    // as wide as the widths of its characters, which is what LineFill adds up; a
    // plain edit control does without them anyway.
    QFont plain = font();
    plain.setKerning(false);
    plain.setStyleStrategy(QFont::PreferNoShaping);
    setFont(plain);
    // A new edit after the large step was undone leaves nothing to redo.
    connect(document(), &QTextDocument::undoCommandAdded, this, [this] {
        if (m_large.state == LargeStep::State::Redoable) {
            m_large.other.Clear();
            m_large.state = LargeStep::State::None;
        }
    });
}

LineFill TextBox::Fill() const {
    // The plain text layout wraps at the viewport's width less the document's margins.
    qreal width = 0;
    if (lineWrapMode() == WidgetWidth)
        width = viewport()->width() - 2 * document()->documentMargin();
    return LineFill(document()->defaultFont(), width);
}

std::string TextBox::Text() const {
    AllocationPoint();
    return ToUtf8(CopyRaw(*document(), 0, document()->characterCount() - 1));
}

bool TextBox::SetText(QString text) {
    if (text.size() > kMostCharacters)
        return false;
    QTextDocument& doc = *document();
    doc.setDefaultFont(font());
    LineFill fill = Fill();
    std::optional<PreparedText> prepared;
    try {
        prepared.emplace(PrepareText(QTextCursor(&doc), WithLineFeeds(std::move(text)), &fill));
    } catch (const std::bad_alloc&) {
        return false;
    }
    // As setPlainText: no undo history, the caret at the start.
    doc.setUndoRedoEnabled(false);
    doc.clear();  // and with it the buffer of the text before
    doc.setDefaultFont(font());
    QTextCursor cursor(&doc);
    cursor.beginEditBlock();
    InsertText(cursor, std::move(*prepared), &fill);
    cursor.endEditBlock();
    doc.setUndoRedoEnabled(true);
    m_large.other.Clear();
    m_large.state = LargeStep::State::None;
    cursor.movePosition(QTextCursor::Start);
    setTextCursor(cursor);
    return true;
}

void TextBox::SetLimit(qsizetype characters) {
    m_limit = characters <= 0 ? kMostCharacters : std::min(characters, kMostCharacters);
}

bool TextBox::Fits(const QTextCursor& range, qsizetype added) const {
    const QTextDocument& doc = *document();
    const int end = doc.characterCount() - 1;
    // Document positions count the joints as well: a bound on the user's length
    // that spares walking the blocks, which the exact length takes.
    const qsizetype selected = range.selectionEnd() - range.selectionStart();
    if (end - selected + added <= m_limit)
        return true;
    const qsizetype user_selected =
        UserPosition(doc, range.selectionEnd()) - UserPosition(doc, range.selectionStart());
    return UserPosition(doc, end) - user_selected + added <= m_limit;
}

void TextBox::Select(int start, int end) {
    QTextCursor cursor = textCursor();
    const int last = document()->characterCount() - 1;
    if (start < 0) {
        cursor.clearSelection();
    } else {
        cursor.setPosition(DocumentPosition(*document(), start));
        cursor.setPosition(end < 0 ? last : DocumentPosition(*document(), end),
                           QTextCursor::KeepAnchor);
    }
    setTextCursor(cursor);
}

void TextBox::Selection(int& start, int& end) const {
    const QTextCursor cursor = textCursor();
    start = UserPosition(*document(), cursor.selectionStart());
    end = UserPosition(*document(), cursor.selectionEnd());
}

void TextBox::Insert(QString text) {
    QTextCursor cursor = textCursor();
    LineFill fill = Fill();
    PreparedText prepared = PrepareText(cursor, std::move(text), &fill);
    cursor.beginEditBlock();
    RemoveSelection(cursor);
    InsertText(cursor, std::move(prepared), &fill);
    cursor.endEditBlock();
    setTextCursor(cursor);
}

bool TextBox::InsertTyped(QString text) {
    if (Fits(textCursor(), text.size())) {
        try {
            Insert(std::move(text));
            return true;
        } catch (const std::bad_alloc&) {
            // The box is as it was.
        }
    }
    QApplication::beep();
    return false;
}

bool TextBox::SamePosition(int a, int b) const {
    if (a > b)
        std::swap(a, b);
    // Between them only joints, which take no place for the user.
    constexpr int kMostJoints = 8;
    if (a == b || b - a > kMostJoints)
        return a == b;
    for (int position = a; position < b; ++position)
        if (!AtJointEnd(*document(), position))
            return false;
    return true;
}

bool TextBox::event(QEvent* event) {
    const SelectionGuard guard(textCursor());
    return QPlainTextEdit::event(event);
}

bool TextBox::viewportEvent(QEvent* event) {
    const SelectionGuard guard(textCursor());
    return QPlainTextEdit::viewportEvent(event);
}

void TextBox::keyPressEvent(QKeyEvent* event) {
    if (isReadOnly()) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if ((event->matches(QKeySequence::Undo) && LargeUndo(true)) ||
        (event->matches(QKeySequence::Redo) && LargeUndo(false))) {
        event->accept();
        return;
    }
    // A line break is a line separator, never a block of Qt's, whose kind would be
    // copied from the block it splits.
    if (event->matches(QKeySequence::InsertParagraphSeparator) ||
        event->matches(QKeySequence::InsertLineSeparator)) {
        if (InsertTyped(QStringLiteral("\n")))
            ensureCursorVisible();
        event->accept();
        return;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && typed.front().isPrint() && !Fits(textCursor(), typed.size())) {
        QApplication::beep();
        event->accept();
        return;
    }
    // A deletion takes the character beyond a joint, not the joint.
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection()) {
        int position = cursor.position();
        if (deletes_backward(*event))
            while (AtJointStart(*document(), position))
                --position;
        else if (deletes_forward(*event))
            while (AtJointEnd(*document(), position))
                ++position;
        if (position != cursor.position()) {
            cursor.setPosition(position);
            setTextCursor(cursor);
        }
    }
    const int before = textCursor().position();
    const int revision = document()->revision();
    QPlainTextEdit::keyPressEvent(event);
    // A move that only crossed a joint moves once more.
    const int after = textCursor().position();
    if (document()->revision() == revision && after != before && SamePosition(before, after))
        QPlainTextEdit::keyPressEvent(event);
}

void TextBox::contextMenuEvent(QContextMenuEvent* event) {
    // Modal, so that event() keeps the selection's guard while a choice edits;
    // Qt's own menu would outlive the event.
    const std::unique_ptr<QMenu> menu(createStandardContextMenu());
    OfferLargeStep(*menu);
    finish_frames_before_closing(*menu);
    menu->exec(event->globalPos());
}

void TextBox::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    if (!commit.isEmpty() && !Fits(textCursor(), commit.size())) {
        // The composition goes on; what it commits beyond the limit does not go in.
        QApplication::beep();
        QInputMethodEvent kept(event->preeditString(), event->attributes());
        QPlainTextEdit::inputMethodEvent(&kept);
        event->setAccepted(kept.isAccepted());
        return;
    }
    const bool breaks_line = std::any_of(commit.begin(), commit.end(), [](QChar ch) {
        return ch == u'\r' || ch == u'\n' || ch == QChar::LineSeparator ||
               ch == QChar::ParagraphSeparator;
    });
    if (!isReadOnly() && breaks_line) {
        // A committed line break becomes a line separator, as Enter does.
        QString committed = WithLineFeeds(commit);
        committed.replace(QLatin1Char('\n'), QChar::LineSeparator);
        QInputMethodEvent changed(event->preeditString(), event->attributes());
        changed.setCommitString(committed, event->replacementStart(), event->replacementLength());
        QPlainTextEdit::inputMethodEvent(&changed);
        event->setAccepted(changed.isAccepted());
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

QMimeData* TextBox::createMimeDataFromSelection() const {
    const QTextCursor cursor = textCursor();
    auto* data = new QMimeData;
    data->setText(TextBetween(*document(), cursor.selectionStart(), cursor.selectionEnd()));
    return data;
}

void TextBox::insertFromMimeData(const QMimeData* source) {
    if (source == nullptr || isReadOnly() || !source->hasText())
        return;
    // From another program the text comes as UTF-8, which QMimeData::text() would
    // read without a byte-order mark at its start.
    const QString utf8_type = QStringLiteral("text/plain;charset=utf-8");
    QString text;
    if (source->hasFormat(utf8_type)) {
        const QByteArray utf8 = source->data(utf8_type);
        text =
            to_qstring(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    } else {
        text = source->text();
    }
    if (InsertTyped(WithLineFeeds(std::move(text))))
        ensureCursorVisible();
}

}  // namespace tarnel::ui::qt

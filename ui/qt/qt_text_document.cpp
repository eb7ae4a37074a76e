// SPDX-License-Identifier: MIT
#include "qt_text_document.h"

#include <QAbstractTextDocumentLayout>
#include <QHash>
#include <QTextBlockFormat>
#include <algorithm>
#include <cmath>

#include "qt_line_fill.h"
#include "qt_text_cuts.h"

namespace tarnel::ui::qt {
namespace {

/// ContinuesLine for many blocks: the blocks share a handful of formats, so each
/// format is looked at once.
class JointTest {
  public:
    bool operator()(const QTextBlock& block) {
        if (block.blockNumber() == 0)
            return false;
        const int index = block.blockFormatIndex();
        auto found = m_known.constFind(index);
        if (found != m_known.constEnd())
            return *found;
        const bool joint = block.blockFormat().boolProperty(kContinuesLine);
        m_known.insert(index, joint);
        return joint;
    }

  private:
    QHash<int, bool> m_known;
};

int document_end(const QTextDocument& document) {
    return document.characterCount() - 1;
}

QTextBlockFormat block_format(bool continues) {
    QTextBlockFormat format;
    if (continues)
        format.setProperty(kContinuesLine, true);
    return format;
}

/// `text` with its line feeds as the line separators a block holds.
QString as_block_text(QStringView text) {
    QString result = text.toString();
    result.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return result;
}

}  // namespace

bool ContinuesLine(const QTextBlock& block) {
    return block.isValid() && block.blockNumber() > 0 &&
           block.blockFormat().boolProperty(kContinuesLine);
}

bool AtJointEnd(const QTextDocument& document, int position) {
    const QTextBlock block = document.findBlock(position);
    return block.isValid() && position == block.position() + block.length() - 1 &&
           ContinuesLine(block.next());
}

bool AtJointStart(const QTextDocument& document, int position) {
    const QTextBlock block = document.findBlock(position);
    return block.isValid() && position == block.position() && ContinuesLine(block);
}

QString TextBetween(const QTextDocument& document, int from, int to, QStringView line_break) {
    from = std::clamp(from, 0, document_end(document));
    to = std::clamp(to, from, document_end(document));
    QString text;
    text.reserve(to - from);
    JointTest joint;
    for (QTextBlock block = document.findBlock(from); block.isValid(); block = block.next()) {
        const int start = block.position();
        if (start > to)
            break;
        if (start > from && start <= to && !joint(block))
            text += line_break;  // the separator before this block is in the range
        const int begin = std::max(from, start) - start;
        const int end = std::min(to, start + block.length() - 1) - start;
        if (end <= begin)
            continue;
        const QString block_text = block.text();
        const QStringView part = QStringView(block_text).sliced(begin, end - begin);
        if (!part.contains(QChar::LineSeparator)) {
            text += part;
            continue;
        }
        for (QChar ch : part) {
            if (ch == QChar::LineSeparator)
                text += line_break;
            else
                text += ch;
        }
    }
    return text;
}

int UserPosition(const QTextDocument& document, int position) {
    position = std::clamp(position, 0, document_end(document));
    const int number = document.findBlock(position).blockNumber();
    int joints = 0;
    JointTest joint;
    for (QTextBlock block = document.firstBlock(); block.isValid() && block.blockNumber() <= number;
         block = block.next())
        joints += joint(block) ? 1 : 0;
    return position - joints;
}

int DocumentPosition(const QTextDocument& document, int user_position) {
    user_position = std::max(user_position, 0);
    int joints = 0;
    JointTest joint;
    QTextBlock found = document.firstBlock();
    int found_start = 0;  // where the found block begins for the user
    for (QTextBlock block = found.next(); block.isValid(); block = block.next()) {
        const int start = block.position() - joints - (joint(block) ? 1 : 0);
        if (start > user_position)
            break;
        joints += joint(block) ? 1 : 0;
        found = block;
        found_start = start;
    }
    const int last = found.position() + found.length() - 1;
    return std::min(found.position() + (user_position - found_start), last);
}

void RemoveSelection(QTextCursor& cursor) {
    if (!cursor.hasSelection())
        return;
    QTextDocument& document = *cursor.document();
    const int start = cursor.selectionStart();
    const QTextBlock first = document.findBlock(start);
    const bool starts_block = first.position() == start && first.blockNumber() > 0;
    const bool continues = ContinuesLine(first);
    cursor.removeSelectedText();
    if (!starts_block)
        return;
    const QTextBlock now = document.findBlock(start);
    if (now.position() == start && ContinuesLine(now) != continues) {
        QTextCursor at(now);
        at.setBlockFormat(block_format(continues));
    }
}

InsertedBlocks InsertText(QTextCursor& cursor, QStringView text, LineFill* fill) {
    const QTextBlock block = cursor.block();
    const int head_length = cursor.position() - block.position();
    // The block's text before the cursor takes part in the cuts: its lines go on.
    QString combined = block.text().left(head_length);
    combined.replace(QChar::LineSeparator, QLatin1Char('\n'));
    combined += text;
    const InsertedBlocks inserted{block.blockNumber(), -1};
    qsizetype from = head_length;
    for (const BlockCut& cut : CutIntoBlocks(combined, head_length, fill)) {
        const qsizetype end = cut.soft ? cut.at : cut.at - 1;
        if (end > from)
            cursor.insertText(as_block_text(QStringView(combined).sliced(from, end - from)));
        cursor.insertBlock(block_format(cut.soft));
        from = cut.at;
    }
    if (from < combined.size())
        cursor.insertText(as_block_text(QStringView(combined).sliced(from)));
    return {inserted.first, cursor.blockNumber()};
}

void EstimateLineCounts(QTextDocument& document, InsertedBlocks blocks, LineFill& fill) {
    // Within one block the layout has counted at once; across blocks it has only
    // cleared theirs.
    if (fill.Width() <= 0 || blocks.first == blocks.last)
        return;
    for (QTextBlock block = document.findBlockByNumber(blocks.first);
         block.isValid() && block.blockNumber() <= blocks.last; block = block.next()) {
        const QString text = block.text();
        int lines = 0;
        for (QStringView line : QStringView(text).tokenize(QChar(QChar::LineSeparator)))
            lines += fill.LeastLines(line);
        block.setLineCount(lines);
    }
    if (QAbstractTextDocumentLayout* layout = document.documentLayout())
        emit layout->documentSizeChanged(layout->documentSize());
}

}  // namespace tarnel::ui::qt

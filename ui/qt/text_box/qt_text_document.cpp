// SPDX-License-Identifier: MIT
#include "qt_text_document.h"

#include <QHash>
#include <QList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextFragment>
#include <algorithm>
#include <cmath>

#include "qt_line_fill.h"
#include "tarnel/large_pages.h"

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

}  // namespace

StandIns::StandIns(const QTextDocument& document) : m_document(document) {
    // A document has a handful of formats, and those of stand-ins only once one
    // came in: a text without any is read as fast as before.
    const QList<QTextFormat> formats = document.allFormats();
    for (qsizetype index = 0; index < formats.size(); ++index)
        if (formats[index].hasProperty(kStandsFor))
            m_marked.insert(static_cast<int>(index),
                            static_cast<char16_t>(formats[index].intProperty(kStandsFor)));
}

void StandIns::Restore(int position, QString& characters) const {
    if (m_marked.isEmpty())
        return;
    const int end = position + static_cast<int>(characters.size());
    for (QTextBlock block = m_document.findBlock(position);
         block.isValid() && block.position() < end; block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const auto marked = m_marked.constFind(fragment.charFormatIndex());
            if (marked == m_marked.constEnd())
                continue;
            // Text typed after a stand-in takes its format too: only the stand-in
            // itself, which cannot be typed, stands for another character.
            const int first = std::max(fragment.position(), position);
            const int last = std::min(fragment.position() + fragment.length(), end);
            for (int at = first; at < last; ++at)
                if (characters.at(at - position) == QChar(kStandIn))
                    characters[at - position] = QChar(*marked);
        }
    }
}

// One pass: a text of megabytes may have as many line breaks.
QString WithLineFeeds(QString text) {
    const auto is_break = [](char16_t ch) {
        return ch == u'\r' || ch == QChar::LineSeparator || ch == QChar::ParagraphSeparator;
    };
    const char16_t* chars = QStringView(text).utf16();
    const qsizetype size = text.size();
    qsizetype first = 0;
    while (first < size && !is_break(chars[first]))
        ++first;
    if (first == size)
        return text;
    // Written in place, the text between line breaks in one copy each.
    QString result(size, Qt::Uninitialized);
    prefer_large_pages(result.data(), static_cast<std::size_t>(size) * sizeof(QChar));
    char16_t* out = reinterpret_cast<char16_t*>(result.data());
    qsizetype run = 0;
    for (qsizetype at = first; at <= size; ++at) {
        if (at < size && !is_break(chars[at]))
            continue;
        out = std::copy(chars + run, chars + at, out);
        if (at == size)
            break;
        *out++ = u'\n';
        if (chars[at] == u'\r' && at + 1 < size && chars[at + 1] == u'\n')
            ++at;
        run = at + 1;
    }
    result.truncate(out - reinterpret_cast<char16_t*>(result.data()));
    return result;
}

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

QString TextBetween(const QTextDocument& document, int from, int to) {
    from = std::clamp(from, 0, document_end(document));
    to = std::clamp(to, from, document_end(document));
    QString text;
    text.reserve(to - from);
    JointTest joint;
    const StandIns stand_ins(document);
    for (QTextBlock block = document.findBlock(from); block.isValid(); block = block.next()) {
        const int start = block.position();
        if (start > to)
            break;
        if (start > from && start <= to && !joint(block))
            text += u'\n';  // the separator before this block is in the range
        const int begin = std::max(from, start) - start;
        const int end = std::min(to, start + block.length() - 1) - start;
        if (end <= begin)
            continue;
        QString block_text = block.text();
        stand_ins.Restore(start, block_text);
        const QStringView part = QStringView(block_text).sliced(begin, end - begin);
        for (qsizetype at = 0;;) {
            const qsizetype next = part.indexOf(QChar::LineSeparator, at);
            if (next < 0) {
                text += part.sliced(at);
                break;
            }
            text += part.sliced(at, next - at);
            text += u'\n';
            at = next + 1;
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

namespace {

/// The fewest lines `text` (a block's, lines ended by line separators) can take.
int least_lines(QStringView text, LineFill& fill) {
    int lines = 0;
    for (QStringView line : text.tokenize(QChar(QChar::LineSeparator)))
        lines += fill.LeastLines(line);
    return lines;
}

/// Turns the line feeds of text[from, end) into line separators, in place.
void separate_lines(QString& text, qsizetype from, qsizetype end) {
    // Searched within the piece only: a text of megabytes may have none at all.
    const QStringView piece = QStringView(text).sliced(from, end - from);
    for (qsizetype at = piece.indexOf(u'\n'); at >= 0; at = piece.indexOf(u'\n', at + 1))
        text[from + at] = QChar::LineSeparator;
}

/// Puts stand-ins in place of the frame marks in `text` from `from` on; where they
/// are, in order.
std::vector<std::pair<qsizetype, char16_t>> stand_in_for_frame_marks(QString& text,
                                                                     qsizetype from) {
    std::vector<std::pair<qsizetype, char16_t>> found;
    // A search for each: a text of megabytes has none, mostly.
    for (const char16_t mark : {char16_t{0xFDD0}, char16_t{0xFDD1}})
        for (qsizetype at = text.indexOf(QChar(mark), from); at >= 0;
             at = text.indexOf(QChar(mark), at + 1))
            found.emplace_back(at, mark);
    std::sort(found.begin(), found.end());
    for (const auto& [at, mark] : found)
        text[at] = QChar(kStandIn);
    return found;
}

}  // namespace

PreparedText PrepareText(const QTextCursor& cursor, QString text, LineFill* fill) {
    const QTextBlock block = cursor.document()->findBlock(cursor.selectionStart());
    const int head_length = cursor.selectionStart() - block.position();
    // The block's text before the cursor takes part in the cuts, since its lines go
    // on; removing the selection leaves it as it is.
    QString head = block.text().left(head_length);
    head.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.prepend(head);
    // Cut as shown: the stand-ins are what the layout sees.
    std::vector<std::pair<qsizetype, char16_t>> stand_ins =
        stand_in_for_frame_marks(text, head_length);
    std::vector<BlockCut> cuts = CutIntoBlocks(text, head_length, fill);
    return PreparedText{std::move(text), head_length, std::move(cuts), std::move(stand_ins)};
}

void InsertText(QTextCursor& cursor, PreparedText prepared, LineFill* fill) noexcept {
    QString& text = prepared.text;
    const qsizetype head_length = prepared.head_length;
    const QTextBlock block = cursor.block();
    const QString block_text = block.text();
    // Its text after the cursor ends the last block.
    const QStringView tail = QStringView(block_text).sliced(head_length);

    // A new block counts the fewest lines it can take until the layout counts them,
    // set now, before the layout may count any: the scroll bar is about right at
    // once, and a count only ever grows, as the plain text edit expects (a count
    // that shrank could leave the last line out of view).
    const bool count = fill != nullptr && fill->Width() > 0;
    const auto set_count = [&](QTextBlock counted, QStringView content) {
        if (count)
            counted.setLineCount(least_lines(content, *fill));
    };
    // Every piece goes in with a format of its own: text after a stand-in would
    // take the stand-in's.
    QTextCharFormat plain = cursor.charFormat();
    plain.clearProperty(QTextFormat::ObjectType);
    plain.clearProperty(kStandsFor);
    const auto stand_in_format = [&plain](char16_t stands_for) {
        QTextCharFormat format = plain;
        format.setProperty(kStandsFor, static_cast<int>(stands_for));
        return format;
    };
    // Each piece goes in without a copy of its own, from the text itself.
    const auto put = [&](qsizetype begin, qsizetype end, const QTextCharFormat& format) {
        if (end > begin)
            cursor.insertText(QString::fromRawData(text.constData() + begin, end - begin), format);
    };
    auto stand_in = prepared.stand_ins.cbegin();
    qsizetype block_start = 0;
    qsizetype from = head_length;
    const auto insert = [&](qsizetype end) {
        separate_lines(text, from, end);
        for (; stand_in != prepared.stand_ins.cend() && stand_in->first < end; ++stand_in) {
            put(from, stand_in->first, plain);
            put(stand_in->first, stand_in->first + 1, stand_in_format(stand_in->second));
            from = stand_in->first + 1;
        }
        put(from, end, plain);
    };
    for (const BlockCut& cut : prepared.cuts) {
        const qsizetype end = cut.soft ? cut.at : cut.at - 1;
        insert(end);
        cursor.insertBlock(block_format(cut.soft), plain);
        set_count(cursor.block().previous(),
                  QStringView(text).sliced(block_start, end - block_start));
        from = block_start = cut.at;
    }
    insert(text.size());
    if (!prepared.cuts.empty()) {
        QString last = QStringView(text).sliced(block_start).toString();
        last += tail;
        set_count(cursor.block(), last);
    }
}

}  // namespace tarnel::ui::qt

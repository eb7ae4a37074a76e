// SPDX-License-Identifier: MIT
// How the text box's document holds a text in short display blocks.
//
// A line break is either a line separator (U+2028) inside a block or the separator
// between two blocks. A line longer than a block is cut into several blocks; the
// separator between two of them is a joint, which is not part of the text: the block
// after it carries the kContinuesLine property. Every read path leaves the joints
// out, and "positions" outside this file are the user's, which do not count them.
// A position at a joint has two document positions: the end of the block before it
// and the start of the block after it.
//
// QTextDocument takes U+FDD0 and U+FDD1 as the start and end of a frame wherever
// they come in, and breaks the block there. The document holds each as a stand-in,
// kStandIn with the kStandsFor char format property, and every read path puts the
// character back: positions are the same either way.
#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFormat>
#include <utility>
#include <vector>

#include "qt_text_cuts.h"

namespace tarnel::ui::qt {

class LineFill;

/// The block format property of a block that goes on with the line before it.
inline constexpr int kContinuesLine = QTextFormat::UserProperty + 1;

/// The char format property of a stand-in: the character it stands for.
inline constexpr int kStandsFor = QTextFormat::UserProperty + 2;
/// A noncharacter, which shows as the characters it stands for do and cannot be
/// typed: the stand-in for U+FDD0 and U+FDD1.
inline constexpr char16_t kStandIn = 0xFDEF;

/// Puts back the characters that the document's stand-ins stand for.
class StandIns {
  public:
    explicit StandIns(const QTextDocument& document);
    /// `characters` are the document's from document position `position` on, as
    /// QTextBlock::text() or QTextCursor::selectedText() give them.
    void Restore(int position, QString& characters) const;

  private:
    const QTextDocument& m_document;
    QHash<int, char16_t> m_marked;  ///< the stand-ins' char format indexes
};

/// `text` with "\r\n", "\r", and paragraph and line separators as "\n".
QString WithLineFeeds(QString text);

/// Whether the separator before `block` is a joint.
bool ContinuesLine(const QTextBlock& block);

/// Whether document position `position` is the end of a block followed by a joint.
bool AtJointEnd(const QTextDocument& document, int position);
/// Whether document position `position` is the start of a block after a joint.
bool AtJointStart(const QTextDocument& document, int position);

/// The text between document positions `from` and `to`, with "\n" between lines
/// and the joints left out.
QString TextBetween(const QTextDocument& document, int from, int to);

/// The user's position of a document position, and back (at a joint, the start of
/// the block after it). Both clamp to the text.
int UserPosition(const QTextDocument& document, int position);
int DocumentPosition(const QTextDocument& document, int user_position);

/// Removes the selection of `cursor`. When it began a block, the block that takes its
/// place keeps its kind (joint or line break), which Qt would take from the block at
/// the end instead.
void RemoveSelection(QTextCursor& cursor);

/// A text made ready to go in at a cursor: joined to the text before the cursor in
/// its block, whose lines go on, and cut into display blocks.
struct PreparedText {
    QString text;           ///< the head, then the text, lines ending in "\n"
    qsizetype head_length;  ///< how much of `text` is already in the block
    std::vector<BlockCut> cuts;
    /// Where `text` holds a stand-in, in order, and the character it stands for.
    std::vector<std::pair<qsizetype, char16_t>> stand_ins;
};

/// Prepares `text`, whose lines end in "\n", to replace the selection of `cursor`,
/// cut where `fill` (may be null) finds the visual lines. Throws std::bad_alloc when
/// memory runs out; the document is not touched.
PreparedText PrepareText(const QTextCursor& cursor, QString text, LineFill* fill);

/// Inserts `prepared` at `cursor` (no selection, where PrepareText had its selection
/// start) in display blocks, and counts the fewest lines each new block can take.
/// Best within the caller's edit block, so that the layout sees one change. Nothing
/// here throws: a replacement is prepared first and then made whole.
void InsertText(QTextCursor& cursor, PreparedText prepared, LineFill* fill) noexcept;

}  // namespace tarnel::ui::qt

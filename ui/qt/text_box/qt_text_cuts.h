// SPDX-License-Identifier: MIT
// Where the text box cuts a text into display blocks. Qt lays out a whole block at
// once (a long one in quadratic time) but only the blocks in view, so the box keeps
// its blocks short: short lines are gathered into blocks of about kBlockLength
// characters, cut at line breaks, and a longer line is cut at the starts of visual
// lines, where the cut does not show.
#pragma once

#include <QStringView>
#include <vector>

namespace tarnel::ui::qt {

class LineFill;

/// About how many characters a display block holds.
inline constexpr qsizetype kBlockLength = 4096;

struct BlockCut {
    qsizetype at;  ///< a new block begins here
    /// true: a cut inside a line, which the box does not show. false: the line feed
    /// at `at - 1` ends the block.
    bool soft;
};

/// The cuts of `text`, whose lines end in "\n", into blocks of about `length`
/// characters. The text before `first` is already in a block and is not cut; `fill`
/// finds the visual lines (without it, long lines are cut after a space or anywhere).
/// Throws std::bad_alloc when memory runs out.
std::vector<BlockCut> CutIntoBlocks(QStringView text, qsizetype first, LineFill* fill,
                                    qsizetype length = kBlockLength);

}  // namespace tarnel::ui::qt

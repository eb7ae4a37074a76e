// SPDX-License-Identifier: MIT
#include "qt_text_cuts.h"

#include <QChar>
#include <algorithm>

#include "qt_line_fill.h"
#include "tarnel/ui/allocation_point.h"

namespace tarnel::ui::qt {
namespace {

/// Whether a cut before `at` would split a character or a grapheme.
bool splits_character(QStringView text, qsizetype at) {
    if (at <= 0 || at >= text.size())
        return false;
    const QChar ch = text[at];
    return ch.isLowSurrogate() || ch.isMark() || ch.unicode() == 0x200D ||
           text[at - 1].unicode() == 0x200D;
}

/// Without widths: after the last space in the second half of the block, or else
/// anywhere a character allows.
qsizetype plain_cut(QStringView text, qsizetype block_start, qsizetype first, qsizetype length) {
    const qsizetype limit = block_start + length;
    const qsizetype lowest = std::max(first, block_start + length / 2);
    for (qsizetype at = limit; at > lowest; --at)
        if (text[at - 1] == u' ' && text[at] != u' ')
            return at;
    qsizetype at = std::max(limit, first);
    while (at < text.size() && splits_character(text, at))
        ++at;
    return at;
}

/// With widths: at the start of the last visual line that ends within the block, or
/// of the first one at or after `first` when none does.
qsizetype visual_cut(QStringView line, qsizetype line_start, qsizetype block_start,
                     qsizetype visual, qsizetype first, LineFill& fill, qsizetype length) {
    qsizetype best = -1;
    while (true) {
        if (visual > block_start && visual >= first)
            best = visual;
        const qsizetype end = line_start + fill.LineEnd(line, visual - line_start);
        if (end - block_start > length && best >= 0)
            return best;
        if (end >= line_start + line.size())
            return best;
        visual = end;
    }
}

}  // namespace

std::vector<BlockCut> CutIntoBlocks(QStringView text, qsizetype first, LineFill* fill,
                                    qsizetype length) {
    AllocationPoint();
    std::vector<BlockCut> cuts;
    const qsizetype size = text.size();
    qsizetype block_start = 0;
    qsizetype line_start = 0;
    while (line_start <= size) {
        qsizetype line_end = text.indexOf(u'\n', line_start);
        if (line_end < 0)
            line_end = size;
        // A block of short lines ends at a line feed, before it grows too long.
        if (block_start < line_start && line_end - block_start > length &&
            line_start - 1 >= first) {
            cuts.push_back({line_start, false});
            block_start = line_start;
        }
        if (line_end - block_start > length) {
            const QStringView line = text.sliced(line_start, line_end - line_start);
            while (line_end - block_start > length) {
                qsizetype cut = -1;
                if (fill != nullptr && fill->Width() > 0)
                    cut = visual_cut(line, line_start, block_start,
                                     std::max(block_start, line_start), first, *fill, length);
                else
                    cut = plain_cut(text, block_start, first, length);
                if (cut <= block_start || cut >= line_end)
                    break;
                cuts.push_back({cut, true});
                block_start = cut;
            }
        }
        line_start = line_end + 1;
    }
    return cuts;
}

}  // namespace tarnel::ui::qt

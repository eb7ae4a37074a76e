// SPDX-License-Identifier: MIT
#include "qt_line_fill.h"

#include <QString>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tarnel::ui::qt {
namespace {

// Break opportunities are looked up in windows of this many characters, so that a
// line of megabytes is never analysed at once.
constexpr qsizetype kWindow = 8192;
// A window is renewed this close to its end, where the analysis lacks what follows.
constexpr qsizetype kWindowSlack = 64;

constexpr unsigned char kBreak = 1;
constexpr unsigned char kGrapheme = 2;

bool is_plain(char16_t ch) {
    return (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z');
}

/// The white space that hangs at the end of a line instead of wrapping.
bool is_space(char16_t ch) {
    return ch == u' ' || ch == u'\t' || (ch > 0x7F && QChar(ch).isSpace() && ch != 0xA0);
}

}  // namespace

LineFill::LineFill(const QFont& font, qreal width)
    : m_metrics(font), m_width(width), m_width64(std::llround(width * 64)) {
    for (int ch = 0; ch < 256; ++ch) {
        const auto at = static_cast<std::size_t>(ch);
        m_latin1[at] = ch < 128 ? m_metrics.horizontalAdvance(QChar(ch)) : -1;
        m_latin1_overhang[at] = std::max<qreal>(0, -m_metrics.rightBearing(QChar(ch)));
        if (ch < 128) {
            m_ascii64[at] = static_cast<std::int32_t>(std::lround(m_latin1[at] * 64));
            m_overhang64[at] = static_cast<std::int32_t>(std::lround(m_latin1_overhang[at] * 64));
            m_plain64[at] = is_plain(static_cast<char16_t>(ch)) ? m_ascii64[at] : -1;
        }
    }
}

qreal LineFill::Overhang(char16_t ch) {
    if (ch < 256)
        return m_latin1_overhang[ch];
    return std::max<qreal>(0, -m_metrics.rightBearing(QChar(ch)));
}

qreal LineFill::Advance(char16_t ch) {
    if (ch < 256) {
        qreal& cached = m_latin1[ch];
        if (cached < 0)
            cached = m_metrics.horizontalAdvance(QChar(ch));
        return cached;
    }
    if (QChar::isLowSurrogate(ch))
        return 0;  // counted with its high surrogate
    auto found = m_others.constFind(ch);
    if (found != m_others.constEnd())
        return *found;
    const qreal advance = m_metrics.horizontalAdvance(QChar(ch));
    m_others.insert(ch, advance);
    return advance;
}

void LineFill::FindBreaks(QStringView line, qsizetype from) {
    m_line = line.data();
    m_window_start = from;
    m_window_end = std::min(line.size(), from + kWindow);
    const QStringView window = line.sliced(from, m_window_end - from);
    const char16_t* chars = window.utf16();
    bool plain = true;
    for (qsizetype i = 0; i < window.size(); ++i)
        plain &= is_plain(chars[i]);
    m_window_plain = plain;
    if (m_window_plain)
        return;
    m_attributes.assign(static_cast<std::size_t>(window.size()) + 1, 0);
    const auto mark = [&](QTextBoundaryFinder::BoundaryType type, unsigned char bit) {
        QTextBoundaryFinder finder(type, window.data(), window.size());
        for (qsizetype at = finder.toNextBoundary(); at >= 0; at = finder.toNextBoundary())
            m_attributes[static_cast<std::size_t>(at)] |= bit;
    };
    mark(QTextBoundaryFinder::Line, kBreak);
    mark(QTextBoundaryFinder::Grapheme, kGrapheme);
}

bool LineFill::BreakBefore(qsizetype index) const {
    if (m_window_plain)
        return false;
    return (m_attributes[static_cast<std::size_t>(index - m_window_start)] & kBreak) != 0;
}

bool LineFill::GraphemeBefore(qsizetype index) const {
    if (m_window_plain)
        return true;
    return (m_attributes[static_cast<std::size_t>(index - m_window_start)] & kGrapheme) != 0;
}

qsizetype LineFill::LineEnd(QStringView line, qsizetype start) {
    const qsizetype size = line.size();
    if (start >= size)
        return size;
    {
        // A line of ASCII letters and digits only has no break opportunity and a
        // grapheme in every character: it fills up to the width. In 64ths of a
        // pixel, as exact as the layout's own widths, it adds up fastest.
        const char16_t* chars = line.utf16();
        std::int64_t used = 0;
        qsizetype at = start;
        for (; at < size; ++at) {
            const char16_t ch = chars[at];
            const std::int32_t advance = ch < 128 ? m_plain64[ch] : -1;
            if (advance < 0)
                break;  // anything else: the general way below
            if (used + advance + m_overhang64[ch] > m_width64)
                return at > start ? at : start + 1;
            used += advance;
        }
        if (at == size)
            return size;
    }
    // The window holds the whole visual line and the slack after it.
    if (line.data() != m_line || start < m_window_start ||
        (m_window_end < size && start > m_window_end - kWindowSlack))
        FindBreaks(line, start);

    qreal used = 0;
    qsizetype word = start;
    while (word < size) {
        // One word: its body, then the spaces that hang after it, up to a break.
        qreal body = 0;
        qreal spaces = 0;
        qsizetype at = word;
        bool overflow = false;
        for (; at < size; ++at) {
            if (at > word && BreakBefore(at))
                break;
            if (m_window_end < size && at >= m_window_end - kWindowSlack) {
                // Too near the window's end to know its breaks: look again from here.
                const qsizetype keep = word;
                FindBreaks(line, keep);
                if (at > keep && BreakBefore(at))
                    break;
            }
            const char16_t ch = line[at].unicode();
            qreal advance = Advance(ch);
            if (QChar::isHighSurrogate(ch) && at + 1 < size)
                advance = m_metrics.horizontalAdvance(line.sliced(at, 2).toString());
            if (is_space(ch)) {
                spaces += advance;
                continue;
            }
            if (spaces > 0) {
                // A space inside a word that offers no break: it counts as text.
                body += spaces;
                spaces = 0;
            }
            if (used + body + advance + Overhang(ch) > m_width) {
                overflow = true;
                break;
            }
            body += advance;
        }
        if (!overflow) {
            used += body + spaces;
            word = at;
            continue;
        }
        if (word > start)
            return word;  // the word goes on to the next line
        // A word wider than the line is cut anywhere, at least one grapheme a line.
        qsizetype cut = at;
        while (cut > word && !GraphemeBefore(cut))
            --cut;
        if (cut == word) {
            cut = at + 1;
            while (cut < size && !GraphemeBefore(cut))
                ++cut;
        }
        return cut;
    }
    return size;
}

int LineFill::LeastLines(QStringView line) {
    if (m_width <= 0)
        return 1;
    // A visual line holds at most its width of characters other than the spaces
    // that may hang at its end.
    std::int64_t ascii = 0;  // in 64ths of a pixel
    qreal others = 0;
    const char16_t* chars = line.utf16();
    for (qsizetype at = 0; at < line.size(); ++at) {
        const char16_t ch = chars[at];
        if (ch < 128)
            ascii += ch == u' ' || ch == u'\t' ? 0 : m_ascii64[ch];
        else if (!is_space(ch))
            others += Advance(ch);
    }
    const qreal text = static_cast<qreal>(ascii) / 64 + others;
    return std::max(1, static_cast<int>(std::ceil(text / m_width)));
}

}  // namespace tarnel::ui::qt

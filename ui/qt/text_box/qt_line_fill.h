// SPDX-License-Identifier: MIT
// Where the text box's layout will wrap a line, found from character widths alone:
// the text box cuts a long line into display blocks at the starts of the visual lines
// it will show, so that a cut never shows, without laying the whole line out.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QStringView>
#include <array>
#include <cstdint>
#include <vector>

namespace tarnel::ui::qt {

class LineFill {
  public:
    /// Lines of `width` pixels in `font`, wrapped at word boundaries and anywhere only
    /// in a run with no break opportunity, as QTextLayout wraps them.
    LineFill(const QFont& font, qreal width);

    /// The end of the visual line that starts at `start` in `line`, a line with no
    /// line break; line.size() when the rest fits. Always beyond `start`.
    qsizetype LineEnd(QStringView line, qsizetype start);

    /// The fewest visual lines that `line`, a line with no line break, can take.
    int LeastLines(QStringView line);

    qreal Width() const { return m_width; }

  private:
    qreal Advance(char16_t ch);
    /// How far the glyph of `ch` reaches beyond its advance, which the layout
    /// counts for the last glyph of a line.
    qreal Overhang(char16_t ch);
    /// Break opportunities of `line` from `from` on, as QTextLayout finds them.
    void FindBreaks(QStringView line, qsizetype from);
    bool BreakBefore(qsizetype index) const;
    bool GraphemeBefore(qsizetype index) const;

    QFontMetricsF m_metrics;
    qreal m_width;
    std::int64_t m_width64;  ///< in 64ths of a pixel, the unit of Qt's own widths
    std::array<qreal, 256> m_latin1{};
    std::array<qreal, 256> m_latin1_overhang{};
    std::array<std::int32_t, 128> m_ascii64{};
    std::array<std::int32_t, 128> m_overhang64{};
    std::array<std::int32_t, 128> m_plain64{};  ///< -1 but for letters and digits
    QHash<char16_t, qreal> m_others;

    // Attributes of the window of the line last looked at.
    const QChar* m_line = nullptr;
    qsizetype m_window_start = 0;
    qsizetype m_window_end = 0;
    bool m_window_plain = true;  ///< only ASCII letters and digits: no break, every grapheme
    std::vector<unsigned char> m_attributes;
};

}  // namespace tarnel::ui::qt

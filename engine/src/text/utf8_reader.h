// SPDX-License-Identifier: MIT
// Reading and writing UTF-8 one character at a time. The code page and the text rule
// judge every text by this one reader.
#pragma once

#include <cstddef>

namespace tarnel {

/// Reads UTF-8 one byte at a time, so that the same rules judge a string and a
/// sequence of bytes that is never stored. Only well-formed UTF-8 is complete:
/// shortest forms, no surrogates, nothing above U+10FFFF. After Invalid, start a
/// new reader.
class Utf8Reader {
  public:
    enum class Step { Complete, NeedMore, Invalid };

    Step feed(unsigned char byte) noexcept {
        if (m_pending == 0)
            return start(byte);
        if (byte < m_low || byte > m_high)
            return Step::Invalid;
        m_code_point = (m_code_point << 6) | (byte & 0x3Fu);
        m_low = 0x80;
        m_high = 0xBF;
        return --m_pending == 0 ? Step::Complete : Step::NeedMore;
    }
    char32_t code_point() const noexcept { return m_code_point; }
    bool between_characters() const noexcept { return m_pending == 0; }

  private:
    // The bounds on a second byte rule out overlong forms, surrogates and
    // anything past U+10FFFF.
    Step start(unsigned char byte) noexcept {
        if (byte < 0x80) {
            m_code_point = byte;
            return Step::Complete;
        }
        if (byte >= 0xC2 && byte <= 0xDF) {
            m_pending = 1;
            m_code_point = byte & 0x1Fu;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            m_pending = 2;
            m_code_point = byte & 0x0Fu;
            if (byte == 0xE0)
                m_low = 0xA0;
            if (byte == 0xED)
                m_high = 0x9F;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            m_pending = 3;
            m_code_point = byte & 0x07u;
            if (byte == 0xF0)
                m_low = 0x90;
            if (byte == 0xF4)
                m_high = 0x8F;
        } else {
            return Step::Invalid;
        }
        return Step::NeedMore;
    }

    char32_t m_code_point = 0;
    int m_pending = 0;
    unsigned char m_low = 0x80;
    unsigned char m_high = 0xBF;
};

/// How many bytes UTF-8 takes for `code_point`.
inline std::size_t utf8_length(char32_t code_point) noexcept {
    if (code_point < 0x80)
        return 1;
    if (code_point < 0x800)
        return 2;
    if (code_point < 0x10000)
        return 3;
    return 4;
}

/// Writes `code_point` in UTF-8 at `out`; returns the end of what was written.
inline char* put_utf8(char32_t code_point, char* out) noexcept {
    const std::size_t length = utf8_length(code_point);
    if (length == 1) {
        *out++ = char(code_point);
        return out;
    }
    static constexpr unsigned char kLead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (std::size_t k = length; k-- > 1;) {
        out[k] = char(0x80u | (code_point & 0x3Fu));
        code_point >>= 6;
    }
    out[0] = char(kLead[length] | code_point);
    return out + length;
}

}  // namespace tarnel

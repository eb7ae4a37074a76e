// SPDX-License-Identifier: MIT
#include "qt_raw_text.h"

#include <QTextBlock>
#include <QTextFragment>
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "qt_text_document.h"
#include "tarnel/large_pages.h"

namespace tarnel::ui::qt {
namespace {

/// Writes `code` at `out` in UTF-8; returns past it.
char* put_code_point(char* out, char32_t code) {
    if (code < 0x80) {
        *out++ = static_cast<char>(code);
    } else if (code < 0x800) {
        *out++ = static_cast<char>(0xC0 | (code >> 6));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (code >> 12));
        *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (code >> 18));
        *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    }
    return out;
}

}  // namespace

RawText CopyRaw(const QTextDocument& document, int from, int to) {
    const int end = document.characterCount() - 1;
    from = std::clamp(from, 0, end);
    to = std::clamp(to, from, end);
    RawText raw;
    // Sized once and filled a fragment at a time: QTextCursor::selectedText() grows
    // its string as it goes, which copies a text of megabytes over and over.
    raw.characters.reserve(to - from);
    prefer_large_pages(const_cast<QChar*>(raw.characters.constData()),
                       static_cast<std::size_t>(to - from) * sizeof(QChar));
    for (QTextBlock block = document.findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int first = std::max(fragment.position(), from);
            const int last = std::min(fragment.position() + fragment.length(), to);
            if (first < last)
                raw.characters +=
                    QStringView(fragment.text()).sliced(first - fragment.position(), last - first);
        }
        const int separator = block.position() + block.length() - 1;
        if (separator >= from && separator < to) {
            raw.characters += QChar(QChar::ParagraphSeparator);
            raw.joints.push_back(ContinuesLine(block.next()));
        }
    }
    StandIns(document).Restore(from, raw.characters);
    return raw;
}

namespace {

/// Where the run of ASCII that begins at `at` ends, found four characters a word:
/// most of a large text is ASCII, and both passes of ToUtf8 spend their time there.
qsizetype AsciiRunEnd(const char16_t* chars, qsizetype at, qsizetype size) {
    constexpr uint64_t kNotAscii = 0xFF80FF80FF80FF80u;  // in each 16-bit character
    for (uint64_t word; at + 4 <= size; at += 4) {
        std::memcpy(&word, chars + at, sizeof word);
        if ((word & kNotAscii) != 0)
            break;
    }
    while (at < size && chars[at] < 0x80)
        ++at;
    return at;
}

/// How many bytes ToUtf8 makes of `raw`.
std::size_t utf8_size(const RawText& raw) {
    const char16_t* chars = QStringView(raw.characters).utf16();
    const qsizetype size = raw.characters.size();
    std::size_t bytes = 0;
    std::size_t separator = 0;
    for (qsizetype at = 0; at < size; ++at) {
        const qsizetype run_end = AsciiRunEnd(chars, at, size);
        bytes += std::size_t(run_end - at);
        if ((at = run_end) == size)
            break;
        const char16_t ch = chars[at];
        if (ch == QChar::ParagraphSeparator) {
            const bool joint = separator < raw.joints.size() && raw.joints[separator];
            ++separator;
            bytes += joint ? 0 : 1;
        } else if (ch == QChar::LineSeparator) {
            ++bytes;
        } else if (QChar::isHighSurrogate(ch) && at + 1 < size &&
                   QChar::isLowSurrogate(chars[at + 1])) {
            bytes += 4;
            ++at;
        } else {
            bytes += ch < 0x800 ? 2 : 3;
        }
    }
    return bytes;
}

}  // namespace

std::string ToUtf8(const RawText& raw) {
    // Sized exactly beforehand and written in place: a string of megabytes that
    // grows doubles its memory, and whoever wipes it to its capacity touches all of
    // it.
    const std::size_t size = utf8_size(raw);
    std::string text;
    text.reserve(size);
    prefer_large_pages(text.data(), size);
    text.resize(size);
    char* out = text.data();
    const char16_t* chars = QStringView(raw.characters).utf16();
    const qsizetype length = raw.characters.size();
    std::size_t separator = 0;
    for (qsizetype at = 0; at < length; ++at) {
        for (const qsizetype run_end = AsciiRunEnd(chars, at, length); at < run_end; ++at)
            *out++ = static_cast<char>(chars[at]);
        if (at == length)
            break;
        const char16_t ch = chars[at];
        if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator) {
            bool joint = false;
            if (ch == QChar::ParagraphSeparator) {
                joint = separator < raw.joints.size() && raw.joints[separator];
                ++separator;
            }
            if (!joint)
                *out++ = '\n';
        } else if (QChar::isHighSurrogate(ch) && at + 1 < length &&
                   QChar::isLowSurrogate(chars[at + 1])) {
            out = put_code_point(out, QChar::surrogateToUcs4(ch, chars[at + 1]));
            ++at;
        } else if (QChar::isSurrogate(ch)) {
            out = put_code_point(out, 0xFFFD);
        } else {
            out = put_code_point(out, ch);
        }
    }
    return text;
}

}  // namespace tarnel::ui::qt

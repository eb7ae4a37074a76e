// SPDX-License-Identifier: MIT
#include "plain_forms.h"

#include "tarnel/sealed_format.h"

namespace tarnel {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineSeparator = "\xE2\x80\xA8";
constexpr std::string_view kParagraphSeparator = "\xE2\x80\xA9";

bool is_separator(std::string_view three) noexcept {
    return three == kLineSeparator || three == kParagraphSeparator;
}

}  // namespace

std::size_t trimmed_head(std::string_view s, PlainForm form, bool at_start, bool more,
                         bool& cut) noexcept {
    cut = false;
    const bool text = form == PlainForm::Text;
    std::size_t i = 0;
    if (text && at_start) {
        if (s.starts_with(kByteOrderMark)) {
            i = 3;
        } else if (more && kByteOrderMark.starts_with(s)) {
            cut = true;
            return 0;
        }
    }
    while (i < s.size()) {
        if (is_format_space(s[i])) {
            ++i;
        } else if (text && is_separator(s.substr(i, 3))) {
            i += 3;
        } else {
            cut = text && more && s.size() - i < 3 && kLineSeparator.starts_with(s.substr(i, 2));
            break;
        }
    }
    return i;
}

std::size_t trimmed_tail(std::string_view s, PlainForm form, bool more, bool& cut) noexcept {
    cut = false;
    const bool text = form == PlainForm::Text;
    std::size_t i = s.size();
    while (i > 0) {
        if (is_format_space(s[i - 1])) {
            --i;
        } else if (text && i >= 3 && is_separator(s.substr(i - 3, 3))) {
            i -= 3;
        } else {
            // What is left may be the end of a separator whose start came before.
            cut = text && more && i < 3 &&
                  (kLineSeparator.ends_with(s.substr(0, i)) ||
                   kParagraphSeparator.ends_with(s.substr(0, i)));
            break;
        }
    }
    return s.size() - i;
}

std::string_view trim_in_form(std::string_view text, PlainForm form) noexcept {
    bool cut = false;
    const std::size_t head = trimmed_head(text, form, true, false, cut);
    text.remove_prefix(head);
    text.remove_suffix(trimmed_tail(text, form, false, cut));
    return text;
}

void SealerInput::skip(std::string_view piece) noexcept {
    if (m_form == PlainForm::Text) {
        // White space only: whatever it becomes is trimmed away.
        CountingSink dropped;
        m_convert.feed(piece, dropped);
    }
}

void SealerInput::feed(std::string_view piece) noexcept {
    if (m_form == PlainForm::Text)
        m_convert.feed(piece, *this);
    else
        m_sealer.feed(piece);
}

void SealerInput::finish() noexcept {
    if (m_form == PlainForm::Text)
        m_convert.finish(*this);
}

void SealerInput::write(const char* data, std::size_t size) noexcept {
    m_sealer.feed(std::string_view(data, size));
}

void OpenedText::write(const char* data, std::size_t size) noexcept {
    if (m_form == PlainForm::Text)
        m_convert.feed(std::string_view(data, size), m_out);
    else
        m_out.write(data, size);
}

void OpenedText::finish() noexcept {
    if (m_form == PlainForm::Text)
        m_convert.finish(m_out);
}

}  // namespace tarnel

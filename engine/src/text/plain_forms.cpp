// SPDX-License-Identifier: MIT
#include "plain_forms.h"

#include <new>

#include "tarnel/sealed_format.h"
#include "tarnel/secure_wipe.h"

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

Gathered::~Gathered() {
    secure_wipe(m_data, sizeof m_data);
}

SealerInput::SealerInput(PlainForm form, bool windows1252, TextSealer& sealer) noexcept
    : m_form(form), m_convert(windows1252), m_sealer(sealer) {
    if (form == PlainForm::Text)
        m_gathered.reset(new (std::nothrow) Gathered);
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
    if (m_form != PlainForm::Text)
        return;
    m_convert.finish(*this);
    if (m_gathered)
        m_gathered->flush([this](std::string_view piece) { m_sealer.feed(piece); });
}

void SealerInput::write(const char* data, std::size_t size) noexcept {
    const auto feed = [this](std::string_view piece) { m_sealer.feed(piece); };
    if (m_gathered)
        m_gathered->add(data, size, feed);
    else
        feed(std::string_view(data, size));
}

// Where the conversion writes: the gathered runs, or the sink itself.
class OpenedText::Gatherer final : public TextSink {
  public:
    explicit Gatherer(OpenedText& text) noexcept : m_text(text) {}
    void write(const char* data, std::size_t size) noexcept override {
        m_text.m_gathered->add(data, size, [this](std::string_view piece) {
            m_text.m_out.write(piece.data(), piece.size());
        });
    }
    void flush() noexcept {
        m_text.m_gathered->flush(
            [this](std::string_view piece) { m_text.m_out.write(piece.data(), piece.size()); });
    }

  private:
    OpenedText& m_text;
};

OpenedText::OpenedText(PlainForm form, bool utf8, LineBreak line_break, TextSink& out) noexcept
    : m_form(form), m_convert(utf8, line_break), m_out(out) {
    if (form == PlainForm::Text)
        m_gathered.reset(new (std::nothrow) Gathered);
}

void OpenedText::write(const char* data, std::size_t size) noexcept {
    if (m_form != PlainForm::Text) {
        m_out.write(data, size);
    } else if (m_gathered) {
        Gatherer gatherer(*this);
        m_convert.feed(std::string_view(data, size), gatherer);
    } else {
        m_convert.feed(std::string_view(data, size), m_out);
    }
}

void OpenedText::finish() noexcept {
    if (m_form != PlainForm::Text)
        return;
    if (m_gathered) {
        Gatherer gatherer(*this);
        m_convert.finish(gatherer);
        gatherer.flush();
    } else {
        m_convert.finish(m_out);
    }
}

std::string_view trim_text(std::string_view text) noexcept {
    bool cut = false;
    const std::size_t head = trimmed_head(text, PlainForm::Bytes, true, false, cut);
    text.remove_prefix(head);
    text.remove_suffix(trimmed_tail(text, PlainForm::Bytes, false, cut));
    return text;
}

}  // namespace tarnel

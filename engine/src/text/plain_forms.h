// SPDX-License-Identifier: MIT
// A plain text's form on its way into a seal and out of an open, a piece at a
// time, and where trimming stops in each form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "tarnel/text_process.h"
#include "tarnel/text_rule.h"
#include "text_rule_pieces.h"
#include "text_sealer.h"

namespace tarnel {

/// Bytes at the start of `s` that trimming drops: white space, and in text form
/// U+2028, U+2029 and, when `at_start` (s begins the text), a byte-order mark.
/// `cut` tells that `s` stopped inside what may be one of those and more of the
/// text follows it (`more`): read again from where it stopped.
std::size_t trimmed_head(std::string_view s, PlainForm form, bool at_start, bool more,
                         bool& cut) noexcept;
/// The same at the end of `s`; `more` tells that text comes before `s`.
std::size_t trimmed_tail(std::string_view s, PlainForm form, bool more, bool& cut) noexcept;

/// Gathers the short runs a conversion writes into pieces of kSize bytes, so that
/// the sink or the sealer behind it is not called for every line.
class Gathered {
  public:
    static constexpr std::size_t kSize = 64 * 1024;
    ~Gathered();  ///< wipes what it held
    /// Adds `data`; calls pass(piece) for each full piece.
    template <class Pass>
    void add(const char* data, std::size_t size, Pass pass) noexcept {
        while (size > 0) {
            const std::size_t room = kSize - m_used;
            const std::size_t take = size < room ? size : room;
            std::memcpy(m_data + m_used, data, take);
            m_used += take;
            data += take;
            size -= take;
            if (m_used == kSize)
                flush(pass);
        }
    }
    template <class Pass>
    void flush(Pass pass) noexcept {
        if (m_used > 0)
            pass(std::string_view(m_data, m_used));
        m_used = 0;
    }

  private:
    char m_data[kSize];
    std::size_t m_used = 0;
};

/// Feeds a sealer the bytes of a text in its form. In text form the trimmed head
/// goes through skip() first, so that the rule sees the text from its start.
class SealerInput final : private TextSink {
  public:
    /// `windows1252`: TextBytesSurvey::windows1252() of the whole text.
    SealerInput(PlainForm form, bool windows1252, TextSealer& sealer) noexcept;

    void skip(std::string_view piece) noexcept;
    void feed(std::string_view piece) noexcept;
    void finish() noexcept;

  private:
    void write(const char* data, std::size_t size) noexcept override;

    PlainForm m_form;
    TextToBytes m_convert;
    TextSealer& m_sealer;
    std::unique_ptr<Gathered> m_gathered;  // text form only
};

/// Counts what a sink is given.
class CountingSink final : public TextSink {
  public:
    void write(const char*, std::size_t size) noexcept override { count += size; }
    uint64_t count = 0;
};

/// Whether the opened bytes are valid UTF-8, told by the opener's output.
class Utf8Sink final : public TextSink {
  public:
    void write(const char* data, std::size_t size) noexcept override {
        m_check.feed(std::string_view(data, size));
    }
    bool finish() noexcept { return m_check.finish(); }

  private:
    Utf8Check m_check;
};

/// Passes opened bytes on to `out` in the form asked for.
class OpenedText final : public TextSink {
  public:
    /// `utf8`: whether the opened bytes are valid UTF-8 (text form only).
    OpenedText(PlainForm form, bool utf8, LineBreak line_break, TextSink& out) noexcept;
    void write(const char* data, std::size_t size) noexcept override;
    /// Passes on what the last piece held back.
    void finish() noexcept;

  private:
    PlainForm m_form;
    BytesToText m_convert;
    TextSink& m_out;
    // Text form: the converted runs, gathered. Without memory for it, they go out
    // one by one.
    std::unique_ptr<Gathered> m_gathered;
    class Gatherer;
};

}  // namespace tarnel

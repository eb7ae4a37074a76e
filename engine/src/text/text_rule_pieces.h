// SPDX-License-Identifier: MIT
// The text rule (tarnel/text_rule.h) in pieces, for texts too large to hold: the
// in-memory functions and the process over a stream or a file are built on these
// classes, so all give the same bytes.
//
// It takes two passes each way, since the form of a text is known only at its end:
//
//     TextBytesSurvey survey;                  // pass 1: read the whole text
//     for (each piece) survey.feed(piece);
//     survey.finish();                         // survey.length(): bytes to come
//     TextToBytes convert(survey.windows1252());
//     for (each piece) convert.feed(piece, sink);  // pass 2: the bytes, to `sink`
//     convert.finish(sink);
//
// and for opened bytes Utf8Check, then BytesToText(check.finish()), alike. The
// converters call only TextSink::write(): a long stretch that needs no change is
// handed on as it is, the rest gathered in a local buffer of 16 KiB. Nothing here
// throws; buffers that held plain text are wiped.
#pragma once

#include <cstdint>
#include <string_view>

#include "tarnel/text_rule.h"
#include "tarnel/text_sink.h"
#include "utf8_reader.h"
#include "windows1252_choice.h"

namespace tarnel {

// The state the classes below keep between pieces.
namespace detail {
// Where a scan of a text to seal stands between two pieces.
enum class Held : unsigned char { Nothing, E2, E2_80, Start, EF, EF_BB };
struct ByteScan {             // the text taken as bytes
    Held held = Held::Start;  // a byte-order mark or U+2028/9 begun, or nothing read yet
    bool after_cr = false;
};
struct CharScan {  // the text taken as UTF-8 characters
    Utf8Reader reader;
    bool first = true;  // no character has been read yet
    bool after_cr = false;
};
struct Utf8Scan {  // a check of UTF-8
    Utf8Reader reader;
    bool valid = true;
};
}  // namespace detail

/// Text to bytes, pass 1 of 2: finds what the rule makes of a text given in pieces.
/// Feed the pieces in order, cut anywhere (inside a UTF-8 sequence or between CR
/// and LF alike), then finish(); the answers hold from then on.
class TextBytesSurvey {
  public:
    void feed(std::string_view piece) noexcept;
    void finish() noexcept;

    /// The whole text is valid UTF-8.
    bool valid_utf8() const noexcept;
    /// The rule writes the text in Windows-1252; otherwise in UTF-8 (or, for a text
    /// that is not valid UTF-8, as its own bytes).
    bool windows1252() const noexcept;
    /// Before finish(): whether the text so far still allows the Windows-1252 form
    /// (every character has a byte there, and all were UTF-8).
    bool windows1252_possible() const noexcept { return m_choice.has_form(); }
    /// How many bytes TextToBytes writes for the text: after the byte-order mark is
    /// dropped and the line breaks have become CR LF.
    uint64_t length() const noexcept;

  private:
    std::size_t feed_blocks(std::string_view piece) noexcept;  // whole blocks of ASCII
    void feed_scans(std::string_view piece) noexcept;          // anything
    detail::Utf8Scan m_check;
    detail::ByteScan m_bytes;
    detail::CharScan m_chars;
    uint64_t m_byte_length = 0;  // of the text kept as bytes
    uint64_t m_form_length = 0;  // of its Windows-1252 form
    Windows1252Choice m_choice;
    bool m_valid = false;
    bool m_windows1252 = false;
};

/// Text to bytes, pass 2 of 2: converts the text's pieces (cut anywhere) as the
/// survey decided, writing the bytes to `out` in runs.
class TextToBytes {
  public:
    /// `windows1252`: TextBytesSurvey::windows1252() for the same text.
    explicit TextToBytes(bool windows1252) noexcept;
    ~TextToBytes();  ///< wipes the part of a character held between pieces
    TextToBytes(const TextToBytes&) = delete;
    TextToBytes& operator=(const TextToBytes&) = delete;

    void feed(std::string_view piece, TextSink& out) noexcept;
    /// Writes what the last piece left open. Call once, after the last piece.
    void finish(TextSink& out) noexcept;

  private:
    bool m_windows1252;
    detail::ByteScan m_bytes;
    detail::CharScan m_chars;
};

/// Bytes to text, pass 1 of 2: whether the opened bytes, fed in pieces cut
/// anywhere, are valid UTF-8. finish() gives the answer.
class Utf8Check {
  public:
    void feed(std::string_view piece) noexcept;
    bool finish() noexcept;

  private:
    detail::Utf8Scan m_scan;
};

/// Bytes to text, pass 2 of 2: converts the opened bytes' pieces (cut anywhere),
/// writing the text to `out` in runs.
class BytesToText {
  public:
    /// `utf8`: Utf8Check::finish() for the same bytes.
    BytesToText(bool utf8, LineBreak line_break = kPlatformLineBreak) noexcept;

    void feed(std::string_view piece, TextSink& out) noexcept;
    /// Writes a CR that the last piece ended with. Call once, after the last piece.
    void finish(TextSink& out) noexcept;

  private:
    bool m_utf8;
    LineBreak m_line_break;
    bool m_held_cr = false;
};

}  // namespace tarnel

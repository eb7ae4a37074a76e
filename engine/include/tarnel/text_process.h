// SPDX-License-Identifier: MIT
// The whole process, from a source to a sink: the direction, the refusals, the
// password, the seal or the open with its check and its damage report.
//
// A program hands over where the text comes from, who gives the password and
// where the result goes; the engine does everything else. ProcessText
// (process.h) is this operation for a text in memory and a result in a string.
//
// The source is one of three kinds, and all three go through the same steps:
//  - a text in memory (std::string_view), worked on where it lies;
//  - a stream, read to its end (StreamSource): it is held whole in memory, at
//    most ProcessSettings::stream_limit bytes, and refused as soon as its first
//    bytes decide (a text to seal with a NUL, one to open that does not begin
//    with "{{");
//  - a random-access source of known size (RandomAccessSource), such as a file:
//    it is read in pieces, so memory stays bounded however large it is, and
//    every refusal comes before the sink gets its first byte.
//
// A password known up front is judged before the text; one that a person is asked
// for comes once the direction is known (PasswordProvider), so a program may ask
// twice when sealing. Nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tarnel/process.h"
#include "tarnel/sealed_format.h"
#include "tarnel/text_rule.h"
#include "tarnel/text_sink.h"

namespace tarnel {

/// How a plain text is taken when sealing and given when opening.
enum class PlainForm {
    /// Exactly its bytes, both ways; trimming drops the white space of the format
    /// (space, TAB, LF, VT, FF, CR).
    Bytes,
    /// A UTF-8 text under the text rule (text_rule.h): sealed as text_to_bytes()
    /// gives its bytes, opened as bytes_to_text() gives them back, with
    /// ProcessSettings::line_break. A text that is not valid UTF-8 is refused
    /// (InvalidText). Trimming drops line and paragraph separators (U+2028,
    /// U+2029) and a byte-order mark at the very start too, as the rule makes the
    /// former line breaks and drops the latter; so a text sealed in this form is
    /// exactly ProcessText(password, *text_to_bytes(text)).
    Text,
};

/// A source read once from start to end.
class StreamSource {
  public:
    /// Reads up to `size` bytes into `buffer`: returns how many, 0 at the end, or
    /// -1 when reading failed (the source keeps the reason).
    virtual std::ptrdiff_t read(char* buffer, std::size_t size) noexcept = 0;
    /// How many bytes are likely to come, or 0 when unknown: memory is taken for
    /// that many at once rather than grown to it.
    virtual uint64_t size_hint() const noexcept { return 0; }

  protected:
    ~StreamSource() = default;
};

/// A source of known size that can be read at any offset, any number of times.
class RandomAccessSource {
  public:
    virtual uint64_t size() const noexcept = 0;
    /// Reads bytes [offset, offset + size) into `buffer`, all of them; false when
    /// that fails, a source that shrank included (the source keeps the reason).
    virtual bool read_at(uint64_t offset, char* buffer, std::size_t size) noexcept = 0;
    /// The whole source, where it lies in memory already: it is then worked on
    /// where it lies rather than read. Null for a source that must be read.
    virtual const char* in_memory() const noexcept { return nullptr; }

  protected:
    ~RandomAccessSource() = default;
};

/// Gives the password once the direction is known.
///
/// The password is judged before the text, as the window's message says, wherever
/// it is known up front. The one exception is a provider that asks a person once
/// the direction is known (a prompt asks twice to seal): its password is judged
/// when it comes, after the text's own refusals.
class PasswordProvider {
  public:
    /// True when provide() gives the password without asking anyone, so that it
    /// may be judged before the text is.
    virtual bool known_up_front() const noexcept { return false; }
    /// Puts the password into `password`. `sealing` tells which way the text goes
    /// (a program may ask twice for a seal). Returns false when there is none;
    /// the provider has then said why.
    virtual bool provide(bool sealing, std::string& password) noexcept = 0;

  protected:
    ~PasswordProvider() = default;
};

/// A password known from the start.
class GivenPassword final : public PasswordProvider {
  public:
    explicit GivenPassword(std::string_view password) noexcept : m_password(password) {}
    bool known_up_front() const noexcept override { return true; }
    bool provide(bool sealing, std::string& password) noexcept override;

  private:
    std::string_view m_password;
};

/// Where the result goes: what TextSink takes through write(), and what the
/// operation needs to know of the place.
class ProcessSink : public TextSink {
  public:
    /// Called once, after every refusal and before the first write; `sealing`
    /// tells what is coming. False stops the operation (the sink has said why).
    virtual bool begin(bool sealing) noexcept {
        (void)sealing;
        return true;
    }
    /// True once a write failed: reading stops.
    virtual bool failed() const noexcept { return false; }
    /// True when everything written can still be thrown away, as a temporary file
    /// that replaces its target only once complete can. Asked after begin(), and
    /// before it as a forecast: a sink that expects to be discardable once begun
    /// says so, and the answer after begin() is the one that counts. The process
    /// may then write before it knows that nothing refuses the text.
    virtual bool discardable() const noexcept { return false; }
    /// Throws away everything written so far and starts over; false when it cannot.
    virtual bool discard() noexcept { return false; }

  protected:
    ~ProcessSink() = default;
};

struct ProcessSettings {
    ProcessDirection direction = ProcessDirection::ByEnvelope;
    PlainForm form = PlainForm::Bytes;
    /// Text form: the line break an opened text gets.
    LineBreak line_break = kPlatformLineBreak;
    /// Most bytes of a stream held in memory; a longer stream ends in StreamTooLarge.
    uint64_t stream_limit = UINT64_MAX - 1;
    /// Largest read from a random-access source, in bytes (smaller in tests).
    std::size_t piece = std::size_t(4) << 20;
};

/// Trims the text, chooses the direction, refuses what cannot be processed, asks
/// `password` for the password and seals or opens into `sink` as "{{" body "}}"
/// or the plain text, in `settings.form`.
///
/// The refusals come in this order: a password known up front; NotSealed; when
/// sealing TextNul, then InvalidText, then a password asked for; when opening a
/// password asked for, then InvalidText. Each comes before the sink begins, with
/// exceptions, all into a sink that forecasts it is discardable: what is sealed in
/// one pass (bytes; a text from a file whose password is known up front) may meet
/// a NUL once the sink began, and end in TextNul, and such a text may prove not to
/// be UTF-8, and end in InvalidText; a text opened in text form may prove not to
/// be UTF-8 once the sink began, and end in InvalidText. Each time the sink is
/// discarded. A random-access source may be read more than once; a discardable
/// sink may be told to discard what it got and then given the result anew.
ProcessReport ProcessTextFrom(std::string_view text, PasswordProvider& password, ProcessSink& sink,
                              const ProcessSettings& settings) noexcept;
ProcessReport ProcessTextFrom(StreamSource& source, PasswordProvider& password, ProcessSink& sink,
                              const ProcessSettings& settings) noexcept;
ProcessReport ProcessTextFrom(RandomAccessSource& source, PasswordProvider& password,
                              ProcessSink& sink, const ProcessSettings& settings) noexcept;

}  // namespace tarnel

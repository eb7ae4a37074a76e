// SPDX-License-Identifier: MIT
// A plain text's form on its way into a seal and out of an open, a piece at a
// time: a CR LF may be cut between two pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "tarnel/text_process.h"
#include "tarnel/text_stream.h"

namespace tarnel {

/// The bytes a plain text gives the sealer. survey() every piece first, for the
/// length; then convert() every piece again, in the same order.
class SealConversion {
  public:
    explicit SealConversion(PlainForm form) noexcept : m_form(form) {}
    ~SealConversion();  ///< wipes the converted bytes
    SealConversion(const SealConversion&) = delete;
    SealConversion& operator=(const SealConversion&) = delete;

    void survey(std::string_view piece) noexcept;
    /// Bytes the conversion adds to the surveyed text.
    uint64_t added() const noexcept { return m_added; }

    /// The next piece converted, valid until the next call; false when memory ran out.
    bool convert(std::string_view piece, std::string_view& converted) noexcept;

  private:
    PlainForm m_form;
    uint64_t m_added = 0;
    char m_survey_before = '\0';
    char m_convert_before = '\0';
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
};

/// Passes an opened text on to `out` in the form asked for.
class OpenConversion final : public TextSink {
  public:
    OpenConversion(PlainForm form, TextSink& out) noexcept : m_form(form), m_out(out) {}
    void write(const char* data, std::size_t size) noexcept override;
    /// Passes on what the last piece held back.
    void finish() noexcept;

  private:
    PlainForm m_form;
    TextSink& m_out;
    bool m_held_cr = false;  // a CR ended the last piece: the next one tells
};

}  // namespace tarnel

// SPDX-License-Identifier: MIT
// The text rule on arbitrary bytes: cut into pieces anywhere it gives what it gives
// whole, the survey foretells the length exactly, and a UTF-8 text comes back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "tarnel/codepage.h"
#include "tarnel/text_rule.h"
#include "text_rule_pieces.h"

namespace {

using tarnel::fuzz::require;

struct Collect final : tarnel::TextSink {
    std::string text;
    void write(const char* data, std::size_t size) noexcept override { text.append(data, size); }
};

// `text` cut into pieces whose lengths (1 to 8 bytes) cycle through `lengths`; a
// length byte with bit 3 set puts an empty piece before its piece.
std::vector<std::string_view> pieces_of(std::string_view text, std::string_view lengths) {
    std::vector<std::string_view> pieces;
    for (std::size_t k = 0; !text.empty(); ++k) {
        if (lengths.empty()) {
            pieces.push_back(text);
            break;
        }
        const auto code = static_cast<unsigned char>(lengths[k % lengths.size()]);
        if ((code & 8) != 0)
            pieces.push_back({});
        pieces.push_back(text.substr(0, 1 + (code & 7)));
        text.remove_prefix(pieces.back().size());
    }
    return pieces;
}

// Every line break as LF, and a leading byte-order mark dropped: what a UTF-8 text
// opens as with LineBreak::Lf.
std::string expected_back(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            result += '\n';
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text.substr(i, 3) == "\xE2\x80\xA8" || text.substr(i, 3) == "\xE2\x80\xA9") {
            result += '\n';
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The password's place in the input layout holds the piece lengths.
    const tarnel::fuzz::FuzzInput input = tarnel::fuzz::split_input(data, size);
    const std::string_view text = input.text;
    const std::vector<std::string_view> pieces = pieces_of(text, input.password);

    const auto whole = tarnel::text_to_bytes(text);
    require(whole.has_value());
    tarnel::TextBytesSurvey survey;
    for (const std::string_view piece : pieces)
        survey.feed(piece);
    survey.finish();
    require(survey.valid_utf8() == tarnel::is_valid_utf8(text));
    require(survey.length() == whole->size());
    Collect sealed;
    tarnel::TextToBytes to_bytes(survey.windows1252());
    for (const std::string_view piece : pieces)
        to_bytes.feed(piece, sealed);
    to_bytes.finish(sealed);
    require(sealed.text == *whole);

    for (const tarnel::LineBreak line_break : {tarnel::LineBreak::Lf, tarnel::LineBreak::CrLf}) {
        const auto opened = tarnel::bytes_to_text(text, line_break);
        require(opened.has_value());
        tarnel::Utf8Check check;
        for (const std::string_view piece : pieces)
            check.feed(piece);
        Collect collected;
        tarnel::BytesToText to_text(check.finish(), line_break);
        for (const std::string_view piece : pieces)
            to_text.feed(piece, collected);
        to_text.finish(collected);
        require(collected.text == *opened);
        require(tarnel::is_valid_utf8(*opened));
    }

    if (survey.valid_utf8()) {
        const auto back = tarnel::bytes_to_text(*whole, tarnel::LineBreak::Lf);
        require(back.has_value() && *back == expected_back(text));
    }
    return 0;
}

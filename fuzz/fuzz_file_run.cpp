// SPDX-License-Identifier: MIT
// The engine's process over a random-access source, as tarnel-cli runs it on a
// file: the read-only survey, then the seal or open a piece at a time, on texts,
// damaged bodies and piece sizes of every kind, into a sink that can be thrown
// away (one pass where it can) and one that cannot. Each must refuse, seal and
// open exactly as the same process over the text in memory does, and refuse
// before the sink begins, or, in one pass, leave it empty.
//
// Layout: a byte of choices (direction in bits 0-1, text form in bit 2,
// the piece size less one in bits 3-7), a byte that asks for the text to be sealed
// first and then damaged (bit 0; where, in the rest), then the input of
// fuzz_support.h.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "tarnel/process.h"
#include "tarnel/text_process.h"
#include "tarnel/text_rule.h"

namespace {

using namespace tarnel;
using tarnel::fuzz::require;

class TextAt final : public RandomAccessSource {
  public:
    explicit TextAt(std::string_view text) : m_text(text) {}
    uint64_t size() const noexcept override { return m_text.size(); }
    bool read_at(uint64_t offset, char* buffer, std::size_t size) noexcept override {
        require(offset + size <= m_text.size());
        std::memcpy(buffer, m_text.data() + offset, size);
        return true;
    }

  private:
    std::string_view m_text;
};

class Chunks final : public StreamSource {
  public:
    Chunks(std::string_view text, std::size_t step) : m_text(text), m_step(step) {}
    std::ptrdiff_t read(char* buffer, std::size_t size) noexcept override {
        const std::size_t n = std::min({size, m_step, m_text.size()});
        std::memcpy(buffer, m_text.data(), n);
        m_text.remove_prefix(n);
        return std::ptrdiff_t(n);
    }

  private:
    std::string_view m_text;
    std::size_t m_step;
};

class StringSink final : public ProcessSink {
  public:
    explicit StringSink(bool discardable) : m_discardable(discardable) {}
    bool begin(bool sealing) noexcept override {
        require(!begun);
        begun = true;
        this->sealing = sealing;
        return true;
    }
    void write(const char* data, std::size_t size) noexcept override {
        require(begun);
        text.append(data, size);
    }
    bool discardable() const noexcept override { return m_discardable; }
    bool discard() noexcept override {
        require(m_discardable);
        text.clear();
        return true;
    }
    std::string text;
    bool begun = false;
    bool sealing = false;

  private:
    bool m_discardable;
};

ProcessDirection direction_of(uint8_t choices) {
    switch (choices & 3) {
        case 1:
            return ProcessDirection::Seal;
        case 2:
            return ProcessDirection::Open;
        default:
            return ProcessDirection::ByEnvelope;
    }
}

// A sealed text with one character replaced: a stray, a space, or a digit.
std::string damaged_seal(std::string_view password, std::string_view text, uint8_t where) {
    std::string sealed(ProcessText(password, text, ProcessDirection::Seal).text);
    if (sealed.size() > 4) {
        const std::size_t at = 2 + (std::size_t(where) * 7) % (sealed.size() - 4);
        const char replacements[] = {'\n', 'g', '9', ' ', '-', '0', '\r'};
        sealed[at] = replacements[where % sizeof replacements];
    }
    return sealed;
}

bool same_damage(const BodyDamage& a, const BodyDamage& b) {
    return a.partial_block == b.partial_block && a.bad_digits == b.bad_digits &&
           a.bad_trailer == b.bad_trailer && a.count_mismatch == b.count_mismatch;
}

void check(const ProcessSettings& settings, std::string_view password, const std::string& text) {
    GivenPassword given(password);
    StringSink whole(false);
    const ProcessReport expected = ProcessTextFrom(text, given, whole, settings);
    // A stream, read in runs of the piece size, refuses as early as it can, but
    // never otherwise.
    {
        Chunks stream(text, settings.piece);
        StringSink sink(false);
        const ProcessReport report = ProcessTextFrom(stream, given, sink, settings);
        require(report.end == expected.end);
        require(sink.text == whole.text && sink.begun == whole.begun);
    }
    for (const bool discardable : {false, true}) {
        TextAt source(text);
        StringSink sink(discardable);
        const ProcessReport report = ProcessTextFrom(source, given, sink, settings);
        // Into a discardable sink in one pass, the password is asked before the
        // text's own refusals, which come once the sink began, leaving it empty: a
        // NUL in what is sealed, and in text form a text that is not UTF-8.
        const bool late =
            discardable &&
            (expected.end == ProcessEnd::TextNul ||
             (settings.form == PlainForm::Text && expected.end == ProcessEnd::InvalidText));
        if (late && check_password(password) != ProcessEnd::Done) {
            require(report.end == check_password(password) && !sink.begun);
            continue;
        }
        require(report.end == expected.end);
        require(sink.begun == (whole.begun || late));
        require(!late || sink.text.empty());
        if (report.end != ProcessEnd::Done)
            continue;
        require(report.sealing == expected.sealing && sink.sealing == report.sealing);
        require(sink.text == whole.text);
        require(report.looks_genuine == expected.looks_genuine);
        require(same_damage(report.damage, expected.damage));
    }
    // Bytes in, bytes out: the window's own call agrees; a text is sealed as the
    // bytes the rule makes of it.
    if (expected.end != ProcessEnd::Done)
        return;
    if (settings.form == PlainForm::Bytes) {
        require(ProcessText(password, text, settings.direction).text == whole.text);
    } else if (expected.sealing) {
        const std::optional<std::string> bytes = text_to_bytes(text);
        require(bytes && ProcessText(password, *bytes, ProcessDirection::Seal).text == whole.text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const uint8_t choices = data[0];
    const uint8_t damage = data[1];
    const tarnel::fuzz::FuzzInput input = tarnel::fuzz::split_input(data + 2, size - 2);
    std::string text(input.text);
    if ((damage & 1) != 0 && !input.password.empty())
        text = damaged_seal(input.password, input.text, uint8_t(damage >> 1));
    ProcessSettings settings;
    settings.direction = direction_of(choices);
    settings.form = (choices & 4) != 0 ? PlainForm::Text : PlainForm::Bytes;
    settings.piece = std::size_t(choices >> 3) + 1;
    check(settings, input.password, text);
    return 0;
}

// SPDX-License-Identifier: MIT
// tarnel-cli's way with a text in a file: the read-only survey, then the seal or
// open a piece at a time, on texts, damaged bodies and piece sizes of every kind.
// Each must refuse, seal and open exactly as ProcessText does with the whole text.
//
// Layout: a byte of choices (direction in bits 0-1, --crlf in bit 2, the piece
// size less one in bits 3-7), a byte that asks for the text to be sealed first and
// then damaged (bit 0; where, in the rest), then the input of fuzz_support.h.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "file_pieces.h"
#include "file_survey.h"
#include "fuzz_support.h"
#include "line_breaks.h"
#include "tarnel/process.h"
#include "tarnel/text_cipher.h"

namespace {

using namespace tarnel;
using namespace tarnel::cli;
using tarnel::fuzz::require;

class StringSink final : public PieceSink {
  public:
    void write(const char* data, std::size_t size) noexcept override { text.append(data, size); }
    bool failed() const noexcept override { return false; }
    std::string text;
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

// The text in a file of its own, as tarnel-cli would find it.
int file_holding(std::string_view text) {
    const int fd = ::memfd_create("fuzz_file_run", MFD_CLOEXEC);
    require(fd >= 0);
    require(::write(fd, text.data(), text.size()) == ssize_t(text.size()));
    return fd;
}

void check(ProcessDirection direction, bool crlf, std::size_t piece, std::string_view password,
           const std::string& text) {
    const int fd = file_holding(text);
    FileText file;
    file.fd = fd;
    file.end = text.size();
    PieceReader reader(file, piece);
    Survey survey;
    const SurveyEnd end = survey_file_text(reader, file, direction, crlf, survey);

    const std::string_view trimmed = trim_text(text);
    const bool sealed = is_sealed_text(trimmed);
    const bool sealing = direction == ProcessDirection::Seal ||
                         (direction == ProcessDirection::ByEnvelope && !sealed);
    if (!sealing && !sealed) {
        require(end == SurveyEnd::NotSealed);
    } else if (sealing && text.find('\0') != std::string::npos) {
        require(end == SurveyEnd::ZeroByte);
    } else {
        require(end == SurveyEnd::Ready && survey.sealing == sealing);
    }
    if (end != SurveyEnd::Ready || password.empty() || password.find('\0') != password.npos) {
        ::close(fd);
        return;
    }

    CTextCipher cipher;
    TextKey key;
    cipher.SetPassword(std::string(password), key);
    StringSink sink;
    if (sealing) {
        std::string plain = text;
        if (crlf)
            lf_to_crlf(plain);
        require(seal_pieces(reader, survey, key, crlf, sink) == PassEnd::Done);
        require(sink.text == ProcessText(password, plain, ProcessDirection::Seal).text);
    } else {
        OpenSummary summary;
        require(open_pieces(reader, survey, key, sink, summary) == PassEnd::Done);
        const ProcessOutcome whole = ProcessText(password, text, ProcessDirection::Open);
        require(whole.kind == ProcessOutcome::Kind::NewText);
        require(sink.text == whole.text);
        require(summary.looks_genuine == whole.looks_genuine);
        require(same_damage(survey.damage, whole.damage));
    }
    ::close(fd);
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
    // An empty file is read as a stream, not in pieces.
    if (text.empty())
        return 0;
    check(direction_of(choices), (choices & 4) != 0, std::size_t(choices >> 3) + 1, input.password,
          text);
    return 0;
}

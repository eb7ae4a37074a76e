// SPDX-License-Identifier: MIT
#include "file_run.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "diagnostics.h"
#include "exit_status.h"
#include "open_report.h"
#include "output.h"
#include "output_file.h"
#include "password_source.h"
#include "tarnel/codepage.h"
#include "tarnel/process.h"
#include "tarnel/secure_wipe.h"
#include "tarnel/text_stream.h"

namespace tarnel::cli {
namespace {

constexpr std::size_t kPiece = PieceReader::kPiece;

bool is_space(char c) {
    return is_format_space(c);
}

// What the read-only pass found.
struct Survey {
    uint64_t begin = 0, end = 0;  // the trimmed text
    bool sealed = false;
    bool zero_byte = false;  // sealing: the text holds a zero byte
    uint64_t bare_lfs = 0;   // sealing: LFs not after a CR, for --crlf
    // Opening: the body is [begin + 2, end - 2).
    BodyLayout layout;
    BodyDamage damage;
    bool unbroken = false;
};

// The trimmed ends: the first and last bytes that are not white space.
bool find_trimmed(PieceReader& reader, const FileText& text, Survey& survey) {
    uint64_t begin = text.start;
    while (begin < text.end) {
        const std::size_t size = std::size_t(std::min<uint64_t>(kPiece, text.end - begin));
        const std::string_view piece = reader.read(begin, size);
        if (piece.empty())
            return false;
        std::size_t k = 0;
        while (k < piece.size() && is_space(piece[k]))
            ++k;
        begin += k;
        if (k < piece.size())
            break;
    }
    uint64_t end = text.end;
    while (end > begin) {
        const std::size_t size = std::size_t(std::min<uint64_t>(64 * 1024, end - begin));
        const std::string_view piece = reader.read(end - size, size);
        if (piece.empty())
            return false;
        std::size_t k = piece.size();
        while (k > 0 && is_space(piece[k - 1]))
            --k;
        end -= piece.size() - k;
        if (k > 0)
            break;
    }
    survey.begin = begin;
    survey.end = end;
    if (end - begin >= 4) {
        const std::string head(reader.read(begin, 2));
        const std::string tail(reader.read(end - 2, 2));
        survey.sealed = head == kSealedOpen && tail == kSealedClose;
    }
    return reader.error() == 0;
}

// Calls line(k) for each LF of `piece` at k, found a block at a time.
template <class F>
void for_each_lf(std::string_view piece, F line) {
    for (std::size_t k = piece.find('\n'); k != std::string_view::npos; k = piece.find('\n', k + 1))
        line(k);
}

bool survey_plain(PieceReader& reader, Survey& survey, bool crlf) {
    char before = '\0';
    for (uint64_t at = survey.begin; at < survey.end;) {
        const std::size_t size = std::size_t(std::min<uint64_t>(kPiece, survey.end - at));
        const std::string_view piece = reader.read(at, size);
        if (piece.empty())
            return false;
        survey.zero_byte = survey.zero_byte || std::memchr(piece.data(), 0, piece.size());
        if (crlf) {
            for_each_lf(piece, [&](std::size_t k) {
                survey.bare_lfs += (k == 0 ? before : piece[k - 1]) != '\r';
            });
            before = piece.back();
        }
        at += size;
    }
    return true;
}

bool survey_body(PieceReader& reader, Survey& survey) {
    const uint64_t body = survey.begin + kSealedOpen.size();
    const uint64_t body_end = survey.end - kSealedClose.size();
    // The body's end: enough of it to hold the ten characters of the trailer.
    uint64_t from = body_end;
    std::string end;
    for (std::size_t kept = 0; from > body && kept < kTrailerDigits;) {
        const std::size_t size = std::size_t(std::min<uint64_t>(4096, from - body));
        const std::string_view piece = reader.read(from - size, size);
        if (piece.empty())
            return false;
        for (const char c : piece)
            kept += is_space(c) ? 0 : 1;
        end.insert(0, piece);
        from -= size;
    }
    const std::size_t hex_end = body_hex_end(end, std::size_t(from - body));
    HexPartCount count;
    for (uint64_t at = body; at < body + hex_end;) {
        const std::size_t size = std::size_t(std::min<uint64_t>(kPiece, body + hex_end - at));
        const std::string_view piece = reader.read(at, size);
        if (piece.empty())
            return false;
        count += count_hex_part(piece);
        at += size;
    }
    survey.layout = analyse_body_end(end, std::size_t(from - body), count, survey.damage);
    survey.unbroken = count.spaces == 0;
    return true;
}

// Where the result goes: a file replaced only when complete, or standard output.
// A piece's whole blocks are made in a buffer lent to the engine, which fills it
// on every CPU, and go out in one write.
class Output final : public TextSink {
  public:
    Output(const Options& options, bool sealed) : m_options(options), m_sealed(sealed) {}
    ~Output() { secure_wipe(m_room.get(), m_room_capacity); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    char* room(std::size_t size) noexcept override {
        pass_on_room();
        if (size > m_room_capacity) {
            secure_wipe(m_room.get(), m_room_capacity);
            m_room_capacity = 0;
            m_room.reset(new (std::nothrow) char[size]);
            if (!m_room)
                return nullptr;
            m_room_capacity = size;
        }
        m_lent = size;
        return m_room.get();
    }

    void give_back(std::size_t size) noexcept override {
        m_lent -= size;
        secure_wipe(m_room.get() + m_lent, size);
    }

    bool begin() {
        if (m_options.output_path.empty())
            return true;
        const ResultText result = m_sealed ? ResultText::Sealed : ResultText::Opened;
        if (!m_file.begin(m_options.output_path, result)) {
            report_write_failure(m_file.failure(), m_options.output_path);
            return false;
        }
        return true;
    }

    void write(const char* data, std::size_t size) noexcept override {
        pass_on_room();
        pass_on(data, size);
    }

    // Finishes the output; reports a failure and returns false.
    bool finish() {
        pass_on_room();
        if (m_held_cr) {
            m_held_cr = false;
            emit("\r", 1);
        }
        if (m_options.output_path.empty()) {
            // A reader that stopped reading already knows; only the status says it.
            if (m_error != 0 && m_error != EPIPE)
                report_error(m_error, "cannot write standard output");
            return m_error == 0;
        }
        const WriteFailure failure = m_file.commit();
        if (failure.failed())
            report_write_failure(failure, m_options.output_path);
        return !failure.failed();
    }

    // After a seal that failed its check: a file is left as it was, but what went
    // out directly cannot be taken back, and the reader must hear it is incomplete.
    void abandon() {
        if (m_options.output_path.empty()) {
            report("the sealed text failed its check; standard output got an incomplete text");
        } else if (m_file.abandon()) {
            report("the sealed text failed its check; %s got an incomplete text",
                   m_options.output_path.c_str());
        } else {
            report("%s", std::string(kSealCheckFailedMessage).c_str());
        }
    }

    bool failed() const noexcept { return m_error != 0 || m_file.failure().failed(); }

  private:
    void pass_on_room() noexcept {
        const std::size_t lent = m_lent;
        m_lent = 0;
        pass_on(m_room.get(), lent);
    }

    void pass_on(const char* data, std::size_t size) noexcept {
        // --crlf when opening: CR LF becomes LF, a CR at a piece's end waits for
        // the next piece to tell.
        if (!m_sealed && m_options.crlf) {
            std::size_t from = 0;
            if (m_held_cr && size > 0) {
                m_held_cr = false;
                if (data[0] != '\n')
                    emit("\r", 1);
            }
            for (std::size_t i = 0; i < size; ++i) {
                if (data[i] != '\r')
                    continue;
                if (i + 1 == size) {
                    emit(data + from, i - from);
                    m_held_cr = true;
                    return;
                }
                if (data[i + 1] == '\n') {
                    emit(data + from, i - from);
                    from = i + 1;
                }
            }
            emit(data + from, size - from);
            return;
        }
        emit(data, size);
    }

    void emit(const char* data, std::size_t size) noexcept {
        if (size == 0 || m_error != 0)
            return;
        if (m_options.output_path.empty())
            m_error = write_all(STDOUT_FILENO, {std::string_view(data, size)});
        else
            m_file.write(std::string_view(data, size));
    }

    const Options& m_options;
    bool m_sealed;
    OutputFile m_file;
    int m_error = 0;
    bool m_held_cr = false;
    std::unique_ptr<char[]> m_room;
    std::size_t m_room_capacity = 0;
    std::size_t m_lent = 0;  // bytes of the room the engine is filling
};

bool seal_file(const Options& options, PieceReader& reader, const Survey& survey,
               const TextKey& key) {
    Output output(options, true);
    const uint64_t length = survey.end - survey.begin + (options.crlf ? survey.bare_lfs : 0);
    if (length > kMaxPlainLength) {
        report("the text is too large, or memory ran out");
        return false;
    }
    if (!output.begin())
        return false;
    TextSealer sealer;
    if (!sealer.start(key, length, Envelope::Included, output)) {
        report("the text is too large, or memory ran out");
        return false;
    }
    std::string converted;
    ScopedWipe wipe_converted(converted);
    char before = '\0';
    for (uint64_t at = survey.begin; at < survey.end && !output.failed();) {
        const std::size_t size = std::size_t(std::min<uint64_t>(kPiece, survey.end - at));
        std::string_view piece = reader.read(at, size);
        if (piece.empty())
            return false;
        if (options.crlf) {
            converted.clear();
            std::size_t from = 0;
            for_each_lf(piece, [&](std::size_t k) {
                if ((k == 0 ? before : piece[k - 1]) != '\r') {
                    converted.append(piece.substr(from, k - from));
                    converted += '\r';
                    from = k;
                }
            });
            converted.append(piece.substr(from));
            before = piece.back();
            piece = converted;
        }
        sealer.feed(piece);
        at += size;
    }
    if (!sealer.finish()) {
        output.abandon();
        return false;
    }
    output.write("\n", 1);
    return output.finish();
}

// Returns the exit status.
int open_file(const Options& options, PieceReader& reader, const Survey& survey,
              const TextKey& key) {
    Output output(options, false);
    if (!output.begin())
        return kExitFailed;
    TextOpener opener;
    if (!opener.start(key, survey.layout, output, survey.unbroken)) {
        report("the text is too large, or memory ran out");
        return kExitFailed;
    }
    const uint64_t body = survey.begin + kSealedOpen.size();
    const uint64_t hex_end = body + survey.layout.hex_end;
    for (uint64_t at = body; at < hex_end && !output.failed();) {
        const std::size_t size = std::size_t(std::min<uint64_t>(kPiece, hex_end - at));
        const std::string_view piece = reader.read(at, size);
        if (piece.empty())
            return kExitFailed;
        opener.feed(piece);
        at += size;
    }
    OpenSummary summary;
    opener.finish(summary);
    if (!output.finish())
        return kExitFailed;
    return warn_about_opened(survey.damage, summary.looks_genuine) ? kExitWarning : kExitDone;
}

}  // namespace

int run_file_text(const Options& options, const FileText& text, std::string& password, bool given) {
    PieceReader reader(text);
    Survey survey;
    auto read_failed = [&] {
        report_error(reader.error(), "cannot read %s", text.name.c_str());
        return kExitFailed;
    };
    if (!find_trimmed(reader, text, survey))
        return read_failed();
    const bool sealing = options.direction == ProcessDirection::Seal ||
                         (options.direction == ProcessDirection::ByEnvelope && !survey.sealed);
    if (!sealing && !survey.sealed) {
        report("the text is not a sealed text: it does not begin with {{ and end with }}");
        return kExitFailed;
    }
    if (!(sealing ? survey_plain(reader, survey, options.crlf) : survey_body(reader, survey)))
        return read_failed();
    if (sealing && survey.zero_byte) {
        report("the text holds a zero byte, where opening would cut it short; nothing sealed");
        return kExitFailed;
    }
    if (!given && !ask_password(sealing, password))
        return kExitFailed;
    convert_password_in_place(password);
    if (password.empty()) {
        report("%s", std::string(kEmptyPasswordMessage).c_str());
        return kExitFailed;
    }
    CTextCipher cipher;
    TextKey key;
    cipher.SetPassword(password, key);
    secure_wipe(password);
    int status = kExitFailed;
    if (sealing)
        status = seal_file(options, reader, survey, key) ? kExitDone : kExitFailed;
    else
        status = open_file(options, reader, survey, key);
    secure_wipe_object(key);
    if (reader.error() != 0) {
        read_failed();
        return kExitFailed;
    }
    return status;
}

}  // namespace tarnel::cli

// SPDX-License-Identifier: MIT
#include "file_run.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "diagnostics.h"
#include "exit_status.h"
#include "file_pieces.h"
#include "open_report.h"
#include "output.h"
#include "output_file.h"
#include "password_source.h"
#include "tarnel/codepage.h"
#include "tarnel/process.h"
#include "tarnel/secure_wipe.h"
#include "tarnel/text_stream.h"
#include "text_refusals.h"

namespace tarnel::cli {
namespace {

// Where the result goes: a file replaced only when complete, or standard output.
// The engine makes a piece's whole blocks on every CPU and hands them over in one
// write, which goes out as it is.
class Output final : public PieceSink {
  public:
    Output(const Options& options, bool sealed) : m_options(options), m_sealed(sealed) {}
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

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

    void write(const char* data, std::size_t size) noexcept override { pass_on(data, size); }

    // Finishes the output; reports a failure and returns false.
    bool finish() {
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

    bool failed() const noexcept override { return m_error != 0 || m_file.failure().failed(); }

  private:
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
};

// Reports why a pass ended, unless it is done. A text that changed while it was
// read fails too: nothing is committed, and standard output is marked incomplete.
bool pass_done(PassEnd end, PieceReader& reader, const FileText& text, Output& output,
               bool to_stdout) {
    switch (end) {
        case PassEnd::ReadFailed:
            report_error(reader.error(), "cannot read %s", text.name.c_str());
            return false;
        case PassEnd::TooLarge:
            report_too_large();
            return false;
        case PassEnd::CheckFailed:
            output.abandon();
            return false;
        case PassEnd::Done:
            break;
    }
    if (file_text_changed(text)) {
        report("%s changed while it was read; %s", text.name.c_str(),
               to_stdout ? "the output is incomplete" : "nothing was written");
        return false;
    }
    return true;
}

bool seal_file(const Options& options, PieceReader& reader, const FileText& text,
               const Survey& survey, const TextKey& key) {
    Output output(options, true);
    if (plain_length(survey, options.crlf) > kMaxPlainLength) {
        report_too_large();
        return false;
    }
    if (!output.begin())
        return false;
    const PassEnd end = seal_pieces(reader, survey, key, options.crlf, output);
    if (!pass_done(end, reader, text, output, options.output_path.empty()))
        return false;
    output.write("\n", 1);
    return output.finish();
}

// Returns the exit status.
int open_file(const Options& options, PieceReader& reader, const FileText& text,
              const Survey& survey, const TextKey& key) {
    Output output(options, false);
    if (!output.begin())
        return kExitFailed;
    OpenSummary summary;
    const PassEnd end = open_pieces(reader, survey, key, output, summary);
    if (!pass_done(end, reader, text, output, options.output_path.empty()) || !output.finish())
        return kExitFailed;
    return warn_about_opened(survey.damage, summary.looks_genuine) ? kExitWarning : kExitDone;
}

}  // namespace

int run_file_text(const Options& options, const FileText& text, std::string& password, bool given) {
    PieceReader reader(text);
    Survey survey;
    switch (survey_file_text(reader, text, options.direction, options.crlf, survey)) {
        case SurveyEnd::ReadFailed:
            report_error(reader.error(), "cannot read %s", text.name.c_str());
            return kExitFailed;
        case SurveyEnd::NotSealed:
            report_not_sealed();
            return kExitFailed;
        case SurveyEnd::ZeroByte:
            report_zero_byte();
            return kExitFailed;
        case SurveyEnd::Ready:
            break;
    }
    if (!given && !ask_password(survey.sealing, password))
        return kExitFailed;
    convert_password_in_place(password);
    CTextCipher cipher;
    TextKey key;
    cipher.SetPassword(password, key);
    secure_wipe(password);
    int status = kExitFailed;
    if (survey.sealing)
        status = seal_file(options, reader, text, survey, key) ? kExitDone : kExitFailed;
    else
        status = open_file(options, reader, text, survey, key);
    secure_wipe_object(key);
    return status;
}

}  // namespace tarnel::cli

// SPDX-License-Identifier: MIT
// tarnel-cli: seals a text with a password, or opens a sealed text again: the
// command line, the choice of the way in, and the result's delivery.
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>

#include "diagnostics.h"
#include "exit_status.h"
#include "file_run.h"
#include "file_text.h"
#include "hardening.h"
#include "line_breaks.h"
#include "open_report.h"
#include "options.h"
#include "output.h"
#include "password_source.h"
#include "program.h"
#include "tarnel/codepage.h"
#include "tarnel/process.h"
#include "tarnel/secure_wipe.h"
#include "text_input.h"
#include "text_refusals.h"
#include "usage.h"

namespace tarnel::cli {
namespace {

// Closes a descriptor that this program opened, when the scope ends.
class FdCloser {
  public:
    explicit FdCloser(int fd) noexcept : m_fd(fd) {}
    ~FdCloser() {
        if (m_fd != STDIN_FILENO)
            ::close(m_fd);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;

  private:
    int m_fd;
};

bool write_result(const Options& options, std::string_view text, std::string_view tail,
                  ResultText result) {
    if (options.output_path.empty()) {
        const int error = write_all(STDOUT_FILENO, {text, tail});
        // A reader that stopped reading already knows; only the status says it.
        if (error != 0 && error != EPIPE)
            report_error(error, "cannot write standard output");
        return error == 0;
    }
    const WriteFailure failure = write_output(options.output_path, result, {text, tail});
    if (failure.failed())
        report_write_failure(failure, options.output_path);
    return !failure.failed();
}

int deliver(const Options& options, ProcessOutcome& outcome) {
    switch (outcome.kind) {
        case ProcessOutcome::Kind::Message:
            report("%s", outcome.text.c_str());
            return kExitFailed;
        case ProcessOutcome::Kind::NotSealed:
            report_not_sealed();
            return kExitFailed;
        case ProcessOutcome::Kind::TooLarge:
            report_too_large();
            return kExitFailed;
        case ProcessOutcome::Kind::CheckFailed:
            report("%s", std::string(kSealCheckFailedMessage).c_str());
            return kExitFailed;
        case ProcessOutcome::Kind::NewText:
            break;
    }
    if (outcome.sealed) {
        return write_result(options, outcome.text, "\n", ResultText::Sealed) ? kExitDone
                                                                             : kExitFailed;
    }
    if (options.crlf)
        crlf_to_lf(outcome.text);
    if (options.output_path.empty() && !options.force && ::isatty(STDOUT_FILENO) &&
        has_control_bytes(outcome.text)) {
        report(
            "the opened text holds control characters, as a wrong password gives; "
            "not written to the terminal (use -o FILE or --force)");
        return kExitFailed;
    }
    if (!write_result(options, outcome.text, "", ResultText::Opened))
        return kExitFailed;
    return warn_about_opened(outcome) ? kExitWarning : kExitDone;
}

int run(const Options& options) {
    std::string password;
    ScopedWipe wipe_password(password);
    std::string text;
    ScopedWipe wipe_text(text);

    // The given password comes first, so that one descriptor may carry the password
    // line and then the text. Without one, a prompt must be possible before any of
    // the text is waited for.
    const bool given = password_is_given(options);
    if (given && !(read_given_password(options, password) && password_is_usable(password)))
        return kExitFailed;
    if (!given && !can_ask_password())
        return kExitFailed;
    const int fd = open_text(options.input_path);
    if (fd < 0)
        return kExitFailed;
    const FdCloser close_input(fd);
#ifndef _WIN32
    // A regular file is sealed or opened in pieces, in bounded memory. An opened
    // text bound for a terminal is first checked whole, so it is read whole.
    const bool to_terminal =
        options.output_path.empty() && !options.force && ::isatty(STDOUT_FILENO);
    FileText file;
    if (!to_terminal && is_file_text(fd, file)) {
        file.name = text_name(options.input_path);
        return run_file_text(options, file, password, given);
    }
#endif
    if (!read_text_from(fd, options.input_path, options.direction, text))
        return kExitFailed;

    // Decided before any prompt, which asks twice when sealing.
    const bool is_sealed = is_sealed_text(trim_text(text));
    const bool sealing = options.direction == ProcessDirection::Seal ||
                         (options.direction == ProcessDirection::ByEnvelope && !is_sealed);
    if (!sealing && !is_sealed) {
        report_not_sealed();
        return kExitFailed;
    }
    if (sealing && text.find('\0') != std::string::npos) {
        report_zero_byte();
        return kExitFailed;
    }
    if (!given && !ask_password(sealing, password))
        return kExitFailed;
    convert_password_in_place(password);
    if (sealing && options.crlf)
        lf_to_crlf(text);

    ProcessOutcome outcome =
        ProcessText(password, text, sealing ? ProcessDirection::Seal : ProcessDirection::Open);
    secure_wipe(password);
    secure_wipe(text);
    return deliver(options, outcome);
}

int run_command_line(int argc, const char* const* argv) {
    const CommandLine command = parse_command_line(argc, argv);
    int error = 0;
    switch (command.action) {
        case CommandLine::Action::UsageError:
            report("%s (see tarnel-cli --help)", command.error.c_str());
            return kExitUsage;
        case CommandLine::Action::Help:
            error = print_help();
            break;
        case CommandLine::Action::Version:
            error = print_version();
            break;
        case CommandLine::Action::Run:
            return run(command.options);
    }
    if (error != 0 && error != EPIPE)
        report_error(error, "cannot write standard output");
    return error == 0 ? kExitDone : kExitFailed;
}

}  // namespace

int run_program(int argc, char** argv) noexcept {
    harden_process();
    try {
        return run_command_line(argc, argv);
    } catch (const std::bad_alloc&) {
        report("not enough memory");
    } catch (...) {
        report("unexpected failure");
    }
    return kExitFailed;
}

}  // namespace tarnel::cli

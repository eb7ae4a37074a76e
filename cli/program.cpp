// SPDX-License-Identifier: MIT
// tarnel-cli: seals a text with a password, or opens a sealed text again. The
// engine does the process; here are the command line, the password, the
// descriptors the engine reads and writes through, and the exit status.
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>

#include "diagnostics.h"
#include "exit_status.h"
#include "file_access.h"
#include "file_text.h"
#include "hardening.h"
#include "messages.h"
#include "options.h"
#include "output.h"
#include "password_source.h"
#include "program.h"
#include "result_sink.h"
#include "tarnel/secure_wipe.h"
#include "tarnel/text_process.h"
#include "text_input.h"
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

// The given password, or the terminal's answer once the direction is known.
class CliPassword final : public PasswordProvider {
  public:
    CliPassword(std::string& password, bool given) noexcept
        : m_password(password), m_given(given) {}

    // A password from a file or descriptor is read before the text, and the engine
    // judges it first, as every program does; only a prompt waits for the direction.
    bool known_up_front() const noexcept override { return m_given; }

    bool provide(bool sealing, std::string& password) noexcept override {
        try {
            if (!m_given && !ask_password(sealing, m_password))
                return false;
            password.assign(m_password);
            return true;
        } catch (...) {
            say(Message::NoMemory);
            return false;
        }
    }

  private:
    std::string& m_password;
    bool m_given;
};

// The text's source, as the engine reads it, and what it tells afterwards.
struct Input {
    std::string name;
    int read_error = 0;
    bool changed = false;  // a regular file changed while it was read
};

ProcessReport process(int fd, const Options& options, PasswordProvider& password, ResultSink& sink,
                      Input& input) {
    ProcessSettings settings;
    settings.direction = options.direction;
    settings.form = options.bytes ? PlainForm::Bytes : PlainForm::Text;
    settings.stream_limit = whole_text_limit();
#ifndef _WIN32
    // A regular file is read in pieces, in bounded memory.
    FileText file;
    if (is_file_text(fd, file)) {
        FileSource source(file);
        const ProcessReport report = ProcessTextFrom(source, password, sink, settings);
        input.read_error = source.error();
        input.changed = file_text_changed(file);
        return report;
    }
#endif
    // A file the system gives no size for (procfs, sysfs) is read once, as it comes.
    const FileStamp before = stamp_of(fd);
    DescriptorStream source(fd);
    const ProcessReport report = ProcessTextFrom(source, password, sink, settings);
    input.read_error = source.error();
    input.changed = before.regular && before.size > 0 && stamp_of(fd) != before;
    return report;
}

// In the engine's words, which the window and the page show too.
void warn_about(const ProcessReport& report) {
    std::string_view lines[kMostWarnings];
    const std::size_t count = process_warnings(report, lines);
    for (std::size_t k = 0; k < count; ++k)
        say(Message::Warning, int(lines[k].size()), lines[k].data());
}

const char* output_name(const Options& options) {
    return options.output_path.empty() ? "standard output" : options.output_path.c_str();
}

// Says why the process ended short, and drops what the sink began; what already
// went out directly is called incomplete, whatever stopped it.
void explain(const ProcessReport& report, const Options& options, const Input& input,
             ResultSink& sink) {
    switch (report.end) {
        case ProcessEnd::NotSealed:
            say(Message::NotSealed);
            break;
        case ProcessEnd::TextNul:
            say(Message::TextNul);
            break;
        case ProcessEnd::InvalidText:
            say(Message::InvalidText);
            break;
        case ProcessEnd::TooLarge:
            say(Message::TooLarge);
            break;
        case ProcessEnd::StreamTooLarge:
            say(Message::TooLargeToHold, input.name.c_str(),
                std::to_string(whole_text_limit() >> 20).c_str());
            break;
        case ProcessEnd::EmptyPassword:
        case ProcessEnd::PasswordNul:
            say(Message::EngineMessage, std::string(process_message(report.end)).c_str());
            break;
        case ProcessEnd::ReadFailed:
            say_error(input.read_error, Message::CannotRead, input.name.c_str());
            break;
        case ProcessEnd::SinkFailed:
            sink.report_failure();
            return;
        case ProcessEnd::CheckFailed:
            // A file is left as it was, but what went out directly cannot be taken
            // back, and the reader must hear it is incomplete.
            if (sink.abandon()) {
                say(Message::CheckFailedIncomplete, output_name(options));
            } else {
                say(Message::EngineMessage, std::string(kSealCheckFailedMessage).c_str());
            }
            return;
        case ProcessEnd::NoPassword:  // the prompt said why
        case ProcessEnd::Done:
            break;
    }
    if (sink.abandon())
        say(Message::OutputIncomplete, output_name(options));
}

// Writing to the password file would destroy the key, and writing directly to the
// text's own file would overwrite it while it is read: refused, whatever name leads
// there (a link, another hard link, /proc/self/fd/N). A file replaced once the
// result is complete may be the text's own: it is read before it is replaced.
bool output_spares_inputs(const Options& options, int text_fd) {
    const bool to_stdout = options.output_path.empty();
    const FileIdentity output =
        to_stdout ? identity_of(STDOUT_FILENO) : identity_of(options.output_path);
    const FileIdentity password = options.password_fd >= 0 ? identity_of(options.password_fd)
                                  : options.password_file.empty()
                                      ? FileIdentity{}
                                      : identity_of(options.password_file);
    const char* lost = nullptr;
    if (output.same_file(password))
        lost = "password";
    else if (output.same_file(identity_of(text_fd)) &&
             (to_stdout || written_directly(options.output_path)))
        lost = "text";
    if (lost != nullptr)
        say(Message::OutputIsInput, output_name(options), lost);
    return lost == nullptr;
}

int run(const Options& options) {
    std::string password;
    ScopedWipe wipe_password(password);

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
    if (!output_spares_inputs(options, fd))
        return kExitFailed;

    CliPassword provider(password, given);
    ResultSink sink(options);
    Input input;
    input.name = text_name(options.input_path);
    const ProcessReport report = process(fd, options, provider, sink, input);
    if (report.end != ProcessEnd::Done) {
        explain(report, options, input, sink);
        return kExitFailed;
    }
    // What was read may mix two versions of the file, or miss what was added.
    if (input.changed) {
        say(sink.abandon() ? Message::ChangedIncomplete : Message::ChangedNothingWritten,
            input.name.c_str());
        return kExitFailed;
    }
    if (!sink.finish())
        return kExitFailed;
    if (!report.doubtful())
        return kExitDone;
    warn_about(report);
    return kExitWarning;
}

int run_command_line(int argc, const char* const* argv) {
    const CommandLine command = parse_command_line(argc, argv);
    int error = 0;
    switch (command.action) {
        case CommandLine::Action::UsageError:
            say(Message::UsageError, command.error.c_str());
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
        say_error(error, Message::CannotWriteStdout);
    return error == 0 ? kExitDone : kExitFailed;
}

}  // namespace

int run_program(int argc, char** argv) noexcept {
    harden_process();
    try {
        return run_command_line(argc, argv);
    } catch (const std::bad_alloc&) {
        say(Message::NoMemory);
    } catch (...) {
        say(Message::UnexpectedFailure);
    }
    return kExitFailed;
}

}  // namespace tarnel::cli

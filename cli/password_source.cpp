// SPDX-License-Identifier: MIT
#include "password_source.h"

#include <unistd.h>

#include <cerrno>

#include "file_access.h"
#include "messages.h"
#include "secret_reader.h"
#include "tarnel/codepage.h"
#include "tarnel/secure_wipe.h"
#include "tarnel/text_process.h"
#include "terminal_prompt.h"

namespace tarnel::cli {
namespace {

// Reports a failed read of the password from `source` ("descriptor 3", ...); after a
// good one, leaves in `password` the bytes it stands for, by the engine's password rule.
bool password_read(int error, const std::string& source, std::string& password) {
    if (error == kLineTooLong) {
        say(Message::PasswordTooLong, source.c_str(), std::to_string(kMaxPasswordBytes).c_str());
    } else if (error != 0) {
        say_error(error, Message::CannotReadPassword, source.c_str());
    } else {
        convert_password_in_place(password);
    }
    return error == 0;
}

void report_no_terminal() {
    say(Message::NoTerminal);
}

}  // namespace

bool password_is_given(const Options& options) noexcept {
    return !options.password_file.empty() || options.password_fd >= 0;
}

bool read_given_password(const Options& options, std::string& password) {
    if (options.password_fd >= 0) {
        use_binary_mode(options.password_fd);
#ifndef _WIN32
        const EchoOff unseen(options.password_fd);
#endif
        const int error = read_first_line(options.password_fd, password, kMaxPasswordBytes);
        return password_read(error, "descriptor " + std::to_string(options.password_fd), password);
    }
    const int fd = open_to_read(options.password_file);
    if (fd < 0) {
        say_error(errno, Message::CannotOpenPasswordFile, options.password_file.c_str());
        return false;
    }
    const int error = read_first_line(fd, password, kMaxPasswordBytes);
    ::close(fd);
    return password_read(error, "the file " + options.password_file, password);
}

bool can_ask_password() {
    if (TerminalPrompt::available())
        return true;
    report_no_terminal();
    return false;
}

bool ask_password(bool confirm, std::string& password) {
    TerminalPrompt terminal;
    if (!terminal.ok()) {
        report_no_terminal();
        return false;
    }
    if (!password_read(terminal.ask("Password: ", password, kMaxPasswordBytes), "the terminal",
                       password))
        return false;
    if (!password_is_usable(password))
        return false;
    if (!confirm)
        return true;

    std::string again;
    ScopedWipe wipe_again(again);
    if (!password_read(terminal.ask("Password again: ", again, kMaxPasswordBytes), "the terminal",
                       again))
        return false;
    if (again != password) {
        say(Message::PasswordsDiffer);
        return false;
    }
    return true;
}

bool password_is_usable(std::string_view password) {
    const ProcessEnd end = check_password(password);
    if (end != ProcessEnd::Done)
        say(Message::EngineMessage, std::string(process_message(end)).c_str());
    return end == ProcessEnd::Done;
}

}  // namespace tarnel::cli

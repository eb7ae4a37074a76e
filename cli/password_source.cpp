// SPDX-License-Identifier: MIT
#include "password_source.h"

#include <unistd.h>

#include <cerrno>

#include "diagnostics.h"
#include "file_access.h"
#include "secret_reader.h"
#include "tarnel/process.h"
#include "tarnel/secure_wipe.h"
#include "terminal_prompt.h"

namespace tarnel::cli {
namespace {

// Reports a failed read of the password from `source` ("descriptor 3", ...).
bool password_read(int error, const std::string& source) {
    if (error == kLineTooLong) {
        report("the password from %s is longer than %s bytes", source.c_str(),
               std::to_string(kMaxPasswordBytes).c_str());
    } else if (error != 0) {
        report_error(error, "cannot read the password from %s", source.c_str());
    }
    return error == 0;
}

void report_no_terminal() {
    report("no terminal to ask for the password on; use --password-file or --password-fd");
}

}  // namespace

bool password_is_given(const Options& options) noexcept {
    return !options.password_file.empty() || options.password_fd >= 0;
}

bool read_given_password(const Options& options, std::string& password) {
    if (options.password_fd >= 0) {
        use_binary_mode(options.password_fd);
        const int error = read_first_line(options.password_fd, password, kMaxPasswordBytes);
        return password_read(error, "descriptor " + std::to_string(options.password_fd));
    }
    const int fd = open_to_read(options.password_file);
    if (fd < 0) {
        report_error(errno, "cannot open the password file %s", options.password_file.c_str());
        return false;
    }
    const int error = read_first_line(fd, password, kMaxPasswordBytes);
    ::close(fd);
    return password_read(error, "the file " + options.password_file);
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
    if (!password_read(terminal.ask("Password: ", password, kMaxPasswordBytes), "the terminal"))
        return false;
    if (!password_is_usable(password))
        return false;
    if (!confirm)
        return true;

    std::string again;
    ScopedWipe wipe_again(again);
    if (!password_read(terminal.ask("Password again: ", again, kMaxPasswordBytes), "the terminal"))
        return false;
    if (again != password) {
        report("the two passwords differ; nothing was sealed");
        return false;
    }
    return true;
}

bool password_is_usable(std::string_view password) {
    if (password.empty()) {
        report("%s", std::string(kEmptyPasswordMessage).c_str());
        return false;
    }
    if (password.find('\0') != std::string_view::npos) {
        report("%s", std::string(kPasswordNulMessage).c_str());
        return false;
    }
    return true;
}

}  // namespace tarnel::cli

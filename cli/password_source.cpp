// SPDX-License-Identifier: MIT
#include "password_source.h"

#include <unistd.h>

#include <cerrno>

#include "diagnostics.h"
#include "file_access.h"
#include "secret_reader.h"
#include "tarnel/secure_wipe.h"
#include "terminal_prompt.h"

namespace tarnel::cli {

bool password_is_given(const Options& options) noexcept {
    return !options.password_file.empty() || options.password_fd >= 0;
}

bool read_given_password(const Options& options, std::string& password) {
    if (options.password_fd >= 0) {
        use_binary_mode(options.password_fd);
        const int error = read_first_line(options.password_fd, password);
        if (error != 0) {
            report_error(error, "cannot read the password from descriptor %d", options.password_fd);
        }
        return error == 0;
    }
    const int fd = open_to_read(options.password_file);
    if (fd < 0) {
        report_error(errno, "cannot open the password file %s", options.password_file.c_str());
        return false;
    }
    const int error = read_first_line(fd, password);
    ::close(fd);
    if (error != 0) {
        report_error(error, "cannot read the password file %s", options.password_file.c_str());
    }
    return error == 0;
}

bool ask_password(bool confirm, std::string& password) {
    TerminalPrompt terminal;
    if (!terminal.ok()) {
        report("no terminal to ask for the password on; use --password-file or --password-fd");
        return false;
    }
    if (const int error = terminal.ask("Password: ", password); error != 0) {
        report_error(error, "cannot read the password from the terminal");
        return false;
    }
    if (!confirm || password.empty())
        return true;

    std::string again;
    ScopedWipe wipe_again(again);
    if (const int error = terminal.ask("Password again: ", again); error != 0) {
        report_error(error, "cannot read the password from the terminal");
        return false;
    }
    if (again != password) {
        report("the two passwords differ; nothing was sealed");
        return false;
    }
    return true;
}

}  // namespace tarnel::cli

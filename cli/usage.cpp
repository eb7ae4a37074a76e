// SPDX-License-Identifier: MIT
#include "usage.h"

#include <unistd.h>

#include "output.h"

namespace tarnel::cli {
namespace {

// One screen: 24 lines of at most 80 columns.
constexpr const char kHelp[] =
    "Usage: tarnel-cli [OPTION]... [FILE]\n"
    "Seal a UTF-8 text with a password, or open a sealed text again. A text inside\n"
    "{{ ... }} is opened, anything else sealed. Without FILE, or with -, standard\n"
    "input. Surrounding white space is not kept. Line breaks are sealed as CR LF and\n"
#ifdef _WIN32
    "opened as CR LF; texts sealed from Latin-1 or binary files open with --bytes.\n"
#else
    "opened as LF; texts sealed from Latin-1 or binary files open with --bytes.\n"
#endif
    "      --seal                seal, whatever the text looks like\n"
    "      --open                open; a text that is not sealed is an error\n"
    "  -o, --output FILE         replace FILE, only on success, not standard output\n"
    "      --password-file FILE  the password is the first line of FILE\n"
    "      --password-fd N       the password is the first line of descriptor N\n"
    "      --bytes               seal and open exact bytes, not UTF-8 text\n"
    "                            (--crlf, the old name of the default, is accepted)\n"
    "  -f, --force               write an opened text to a terminal even if it holds\n"
    "                            control characters (as a wrong password gives)\n"
    "  -h, --help                show this help;  -V, --version  show the version\n"
    "\n"
    "Without a password file or descriptor the password is asked for on the terminal,\n"
    "twice when sealing. Exit status: 0 done, 1 failed, 2 usage error, 3 done with a\n"
    "warning (a damaged text, a wrong password, or a sealed text cut short).\n"
    "\n"
    "Example:  tarnel-cli --password-file pw.txt letter.txt > letter.sealed\n"
    "          tarnel-cli --password-file pw.txt -o letter.txt letter.sealed\n"
    "The format keeps a text from casual eyes only; see tarnel-cli(1).\n";

constexpr const char kVersion[] = "tarnel-cli " TARNEL_VERSION "\n";

}  // namespace

int print_help() noexcept {
    return write_all(STDOUT_FILENO, {kHelp});
}

int print_version() noexcept {
    return write_all(STDOUT_FILENO, {kVersion});
}

}  // namespace tarnel::cli

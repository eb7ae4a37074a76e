// SPDX-License-Identifier: MIT
// The command line of tarnel-cli.
#pragma once

#include <string>

#include "tarnel/process.h"

namespace tarnel::cli {

struct Options {
    ProcessDirection direction = ProcessDirection::ByEnvelope;
    std::string input_path;     ///< empty: standard input
    std::string output_path;    ///< empty: standard output
    std::string password_file;  ///< empty: none
    int password_fd = -1;       ///< -1: none
    bool bytes = false;         ///< exact bytes rather than a UTF-8 text
    bool force = false;
};

struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    Options options;
    std::string error;  ///< UsageError: what is wrong, for one line of standard error
};

/// Reads argv. "-" stands for standard input or output; "--" ends the options.
CommandLine parse_command_line(int argc, const char* const* argv);

}  // namespace tarnel::cli

// SPDX-License-Identifier: MIT
// The command that starts a program built with the tests. In a cross build the
// program is for another processor: the tests that start one themselves put the
// emulator in front of it, as ctest does for the tests.
#pragma once

#include <string>
#include <vector>

#include "emulator_command.h"

namespace tarnel::test {

/// The emulator's words, or none where the programs run natively.
inline std::vector<std::string> emulator_command() {
    return TARNEL_EMULATOR_COMMAND;
}

/// The words that start `program`; the program's own arguments follow them.
inline std::vector<std::string> program_command(const std::string& program) {
    std::vector<std::string> command = emulator_command();
    command.push_back(program);
    return command;
}

/// The same, each word in single quotes, for a POSIX shell.
inline std::string program_shell_command(const std::string& program) {
    std::string line;
    for (const std::string& word : program_command(program)) {
        line += line.empty() ? "'" : " '";
        for (const char c : word)
            line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += '\'';
    }
    return line;
}

}  // namespace tarnel::test

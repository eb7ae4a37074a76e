// SPDX-License-Identifier: MIT
// tarnel-cli's entry point on POSIX systems; Windows enters through wmain in
// windows_platform.cpp, with wide-character arguments.
#include "program.h"

int main(int argc, char** argv) {
    return tarnel::cli::run_program(argc, argv);
}

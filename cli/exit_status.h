// SPDX-License-Identifier: MIT
// The exit statuses of tarnel-cli, as its manual lists them.
#pragma once

namespace tarnel::cli {

enum ExitStatus : int {
    kExitDone = 0,     ///< sealed or opened
    kExitFailed = 1,   ///< refused or failed; nothing on standard output
    kExitUsage = 2,    ///< the command line is wrong
    kExitWarning = 3,  ///< done, but the result is doubtful; it is still written
};

}  // namespace tarnel::cli

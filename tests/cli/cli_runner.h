// SPDX-License-Identifier: MIT
// Runs the built tarnel-cli as a user would: in a new session (so it has no
// controlling terminal unless a test gives it one), with chosen descriptors. On
// Windows the C runtime's descriptors pass to the program as its own.
#pragma once

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/types.h>
#endif

#include <map>
#include <string>
#include <vector>

namespace tarnel::cli_test {

struct RunResult {
    int exit_status = -1;  ///< -1 when the program died of a signal
    int signal = 0;        ///< the signal it died of
    bool timed_out = false;
    std::string out;
    std::string err;
};

struct Invocation {
    std::vector<std::string> args;
    std::string input;                     ///< fed to standard input through a pipe
    std::string stdin_path;                ///< instead of `input`: standard input from this file
    bool keep_stdin_open = false;          ///< after `input`, the pipe's writer waits, silent
    std::string stdout_path;               ///< instead of a pipe: standard output to this file
    bool close_stdout_early = false;       ///< standard output is a pipe nobody reads
    std::map<int, std::string> extra_fds;  ///< descriptor -> content, each through a pipe
#ifndef _WIN32
    rlim_t file_size_limit = RLIM_INFINITY;
    rlim_t memory_limit = RLIM_INFINITY;  ///< address space, so a runaway read fails fast
#endif
    int timeout_ms = 10000;  ///< not kept on Windows, where the test's own timeout holds
};

RunResult run_cli(const Invocation& run);

#ifndef _WIN32

/// Where a child's descriptors come from; -1 leaves one closed.
struct ChildSetup {
    int stdin_fd = -1;
    int stdout_fd = -1;
    int stderr_fd = -1;
    std::map<int, int> extra_fds;   ///< descriptor in the child -> descriptor here
    int controlling_terminal = -1;  ///< a pty slave to become the session's terminal
    rlim_t file_size_limit = RLIM_INFINITY;
    rlim_t memory_limit = RLIM_INFINITY;
};

/// Forks and executes tarnel-cli with `args`; returns the child's pid.
pid_t spawn_cli(const std::vector<std::string>& args, const ChildSetup& setup);

/// Waits for `pid` for up to `timeout_ms`, killing it after that.
void wait_for(pid_t pid, int timeout_ms, RunResult& result);
#endif

/// A fresh directory, removed with all it holds.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path(const std::string& name) const { return m_path + "/" + name; }
    std::vector<std::string> names() const;  ///< sorted

  private:
    std::string m_path;
};

void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);

/// One argument list for a password file holding `password` and a line break.
std::vector<std::string> with_password(const TempDir& dir, const std::string& password,
                                       std::vector<std::string> args);

}  // namespace tarnel::cli_test

// SPDX-License-Identifier: MIT
#include "cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>
#include <utility>

#include "program_command.h"

namespace tarnel::cli_test {
namespace {

// Descriptors here live far above those the child is given, so that moving them
// into place in the child never overwrites one still to be moved.
int lift(int fd) {
    const int lifted = ::fcntl(fd, F_DUPFD_CLOEXEC, 100);
    ::close(fd);
    if (lifted < 0)
        throw std::runtime_error("fcntl failed");
    return lifted;
}

struct Pipe {
    int read_end = -1;
    int write_end = -1;
    Pipe() {
        int fds[2];
        if (::pipe(fds) != 0)
            throw std::runtime_error("pipe failed");
        read_end = lift(fds[0]);
        write_end = lift(fds[1]);
    }
};

void close_if_open(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void become_cli(char* const* argv, const ChildSetup& setup) {
    ::setsid();
    if (setup.controlling_terminal >= 0)
        ::ioctl(setup.controlling_terminal, TIOCSCTTY, 0);
    const int standard[3] = {setup.stdin_fd, setup.stdout_fd, setup.stderr_fd};
    for (int target = 0; target < 3; ++target) {
        if (standard[target] >= 0) {
            ::dup2(standard[target], target);
        } else {
            ::close(target);
        }
    }
    for (const auto& [target, source] : setup.extra_fds)
        ::dup2(source, target);
    if (setup.file_size_limit != RLIM_INFINITY) {
        const rlimit limit{setup.file_size_limit, setup.file_size_limit};
        // SIGXFSZ keeps its default: the program must not die of it.
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (setup.memory_limit != RLIM_INFINITY) {
        const rlimit limit{setup.memory_limit, setup.memory_limit};
        ::setrlimit(RLIMIT_AS, &limit);
    }
    ::signal(SIGPIPE, SIG_DFL);
    ::execv(argv[0], argv);
    ::_exit(127);
}

// Feeds and drains the pipes until all are done or time runs out.
struct Stream {
    int fd;
    const std::string* feed;  // null: drained into `drain`
    std::string* drain;
    std::size_t fed = 0;
};

bool pump(std::vector<Stream>& streams, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        std::vector<pollfd> polled;
        for (const Stream& s : streams) {
            if (s.fd >= 0)
                polled.push_back({s.fd, short(s.feed ? POLLOUT : POLLIN), 0});
        }
        if (polled.empty())
            return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        if (::poll(polled.data(), polled.size(), int(left.count())) < 0 && errno != EINTR) {
            return false;
        }
        std::size_t k = 0;
        for (Stream& s : streams) {
            if (s.fd < 0)
                continue;
            const short events = polled[k++].revents;
            if (events == 0)
                continue;
            if (s.feed) {
                const ssize_t n = ::write(s.fd, s.feed->data() + s.fed, s.feed->size() - s.fed);
                if (n > 0)
                    s.fed += std::size_t(n);
                if (n < 0 || s.fed == s.feed->size())
                    close_if_open(s.fd);
            } else {
                char buffer[65536];
                const ssize_t n = ::read(s.fd, buffer, sizeof buffer);
                if (n > 0) {
                    s.drain->append(buffer, std::size_t(n));
                } else {
                    close_if_open(s.fd);
                }
            }
        }
    }
}

}  // namespace

pid_t spawn_cli(const std::vector<std::string>& args, const ChildSetup& setup) {
    std::vector<std::string> owned;
    // qemu's user mode keeps an address space limit that its guest sets to itself
    // (the limit would bind qemu's own memory too): under it, the limit is set on the
    // emulator's process from outside, by util-linux's prlimit.
    if (!test::emulator_command().empty() && setup.memory_limit != RLIM_INFINITY)
        owned = {"/usr/bin/prlimit", "--as=" + std::to_string(setup.memory_limit), "--"};
    for (std::string& word : test::program_command(TARNEL_CLI_PATH))
        owned.push_back(std::move(word));
    owned.insert(owned.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : owned)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0)
        become_cli(argv.data(), setup);
    return pid;
}

void wait_for(pid_t pid, int timeout_ms, RunResult& result) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            result.timed_out = true;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

RunResult run_cli(const Invocation& run) {
    ::signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not kill the test
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(run.timeout_ms);
    RunResult result;
    ChildSetup setup;
    setup.file_size_limit = run.file_size_limit;
    setup.memory_limit = run.memory_limit;
    std::vector<int> child_ends;
    std::vector<Stream> streams;
    int silent_writer = -1;

    if (!run.stdin_path.empty()) {
        setup.stdin_fd = lift(::open(run.stdin_path.c_str(), O_RDONLY));
        child_ends.push_back(setup.stdin_fd);
    } else {
        const Pipe in;
        setup.stdin_fd = in.read_end;
        child_ends.push_back(in.read_end);
        if (run.keep_stdin_open)
            silent_writer = ::fcntl(in.write_end, F_DUPFD_CLOEXEC, 100);
        streams.push_back({in.write_end, &run.input, nullptr});
    }
    if (!run.stdout_path.empty()) {
        setup.stdout_fd = lift(::open(run.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
        child_ends.push_back(setup.stdout_fd);
    } else {
        const Pipe out;
        setup.stdout_fd = out.write_end;
        child_ends.push_back(out.write_end);
        if (run.close_stdout_early) {
            ::close(out.read_end);
        } else {
            streams.push_back({out.read_end, nullptr, &result.out});
        }
    }
    const Pipe err;
    setup.stderr_fd = err.write_end;
    child_ends.push_back(err.write_end);
    streams.push_back({err.read_end, nullptr, &result.err});
    for (const auto& [target, content] : run.extra_fds) {
        const Pipe extra;
        setup.extra_fds[target] = extra.read_end;
        child_ends.push_back(extra.read_end);
        streams.push_back({extra.write_end, &content, nullptr});
    }

    const pid_t pid = spawn_cli(run.args, setup);
    for (int fd : child_ends)
        ::close(fd);
    const bool finished = pump(streams, deadline);
    for (Stream& s : streams)
        close_if_open(s.fd);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    wait_for(pid, finished ? std::max<int>(int(left.count()), 1) : 0, result);
    close_if_open(silent_writer);
    return result;
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tarnel-cli-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::vector<std::string> TempDir::names() const {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
        found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> with_password(const TempDir& dir, const std::string& password,
                                       std::vector<std::string> args) {
    const std::string file = dir.path("password");
    write_file(file, password + "\n");
    args.insert(args.begin(), {"--password-file", file});
    return args;
}

}  // namespace tarnel::cli_test

// SPDX-License-Identifier: MIT
// The runner on Windows, with the C runtime's own means: a spawned program gets
// the runtime's open descriptors as its own, so pipes are put in place at the
// child's numbers, the program is spawned, and the test's descriptors come back.
#include <fcntl.h>
#include <io.h>
#include <process.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "cli_runner.h"

namespace tarnel::cli_test {
namespace {

std::filesystem::path utf8_path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::wstring wide(const std::string& text) {
    return utf8_path(text).wstring();
}

// One argument as the program's start-up code splits the command line again:
// quotes around it, and backslashes doubled where they come before a quote.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring result = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        result.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        result.push_back(c);
    }
    result.append(backslashes * 2, L'\\');
    result.push_back(L'"');
    return result;
}

struct Pipe {
    int read_end = -1;
    int write_end = -1;
    Pipe() {
        int fds[2];
        // Neither end is inherited; the child's end is duplicated into place.
        if (_pipe(fds, 1 << 16, _O_BINARY | _O_NOINHERIT) != 0)
            throw std::runtime_error("_pipe failed");
        read_end = fds[0];
        write_end = fds[1];
    }
};

void feed(int fd, const std::string& content) {
    std::size_t fed = 0;
    while (fed < content.size()) {
        const unsigned chunk = unsigned(std::min<std::size_t>(content.size() - fed, 1 << 16));
        const int n = _write(fd, content.data() + fed, chunk);
        if (n <= 0)
            break;  // the program stopped reading
        fed += std::size_t(n);
    }
    _close(fd);
}

void drain(int fd, std::string& into) {
    char buffer[1 << 16];
    for (;;) {
        const int n = _read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        into.append(buffer, std::size_t(n));
    }
    _close(fd);
}

// Puts `source` at descriptor `target` for the spawn, and back afterwards.
class Placed {
  public:
    Placed(int source, int target) : m_target(target), m_saved(_dup(target)) {
        _dup2(source, target);
    }
    ~Placed() {
        if (m_saved >= 0) {
            _dup2(m_saved, m_target);
            _close(m_saved);
        } else {
            _close(m_target);
        }
    }
    Placed(const Placed&) = delete;
    Placed& operator=(const Placed&) = delete;

  private:
    int m_target;
    int m_saved;
};

}  // namespace

RunResult run_cli(const Invocation& run) {
    RunResult result;
    std::vector<int> child_ends;
    std::vector<std::thread> pumps;
    std::map<int, int> placement;  // the child's descriptor -> ours

    if (!run.stdin_path.empty()) {
        const int fd = _wopen(wide(run.stdin_path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
        if (fd < 0)
            throw std::runtime_error("cannot open " + run.stdin_path);
        placement[0] = fd;
        child_ends.push_back(fd);
    } else {
        const Pipe in;
        placement[0] = in.read_end;
        child_ends.push_back(in.read_end);
        pumps.emplace_back(feed, in.write_end, std::cref(run.input));
    }
    if (!run.stdout_path.empty()) {
        const int fd = _wopen(wide(run.stdout_path).c_str(),
                              _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT, 0600);
        if (fd < 0)
            throw std::runtime_error("cannot create " + run.stdout_path);
        placement[1] = fd;
        child_ends.push_back(fd);
    } else {
        const Pipe out;
        placement[1] = out.write_end;
        child_ends.push_back(out.write_end);
        if (run.close_stdout_early)
            _close(out.read_end);
        else
            pumps.emplace_back(drain, out.read_end, std::ref(result.out));
    }
    const Pipe err;
    placement[2] = err.write_end;
    child_ends.push_back(err.write_end);
    pumps.emplace_back(drain, err.read_end, std::ref(result.err));
    for (const auto& [target, content] : run.extra_fds) {
        const Pipe extra;
        placement[target] = extra.read_end;
        child_ends.push_back(extra.read_end);
        pumps.emplace_back(feed, extra.write_end, std::cref(content));
    }

    std::vector<std::wstring> arguments{quoted(wide(TARNEL_CLI_PATH))};
    for (const std::string& arg : run.args)
        arguments.push_back(quoted(wide(arg)));
    std::vector<const wchar_t*> argv;
    for (const std::wstring& arg : arguments)
        argv.push_back(arg.c_str());
    argv.push_back(nullptr);

    intptr_t process = -1;
    {
        std::vector<std::unique_ptr<Placed>> placed;
        for (const auto& [target, source] : placement)
            placed.push_back(std::make_unique<Placed>(source, target));
        process = _wspawnv(_P_NOWAIT, wide(TARNEL_CLI_PATH).c_str(), argv.data());
    }
    for (const int fd : child_ends)
        _close(fd);
    if (process != -1) {
        int status = -1;
        _cwait(&status, process, 0);
        result.exit_status = status;
    }
    for (std::thread& pump : pumps)
        pump.join();
    return result;
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        const std::filesystem::path candidate =
            base /
            ("tarnel-cli-test-" + std::to_string(_getpid()) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate.generic_string();
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary directory");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(utf8_path(m_path), ignored);
}

std::vector<std::string> TempDir::names() const {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(utf8_path(m_path))) {
        const std::u8string name = entry.path().filename().u8string();
        found.emplace_back(name.begin(), name.end());
    }
    std::sort(found.begin(), found.end());
    return found;
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream(utf8_path(path), std::ios::binary) << content;
}

std::string read_file(const std::string& path) {
    std::ifstream in(utf8_path(path), std::ios::binary);
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

// SPDX-License-Identifier: MIT
// What `-o PATH` does with what the path names: links are followed and stay links,
// pipes, devices and the program's own descriptors are written directly, a
// replaced file keeps what it was, and no run, however it ends, leaves a file
// behind.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "tarnel/process.h"

namespace tarnel::cli_test {
namespace {

const std::string kText = "Meet me by the old mill at six.";

std::string sealed(const std::string& text) {
    return ProcessText("pw", text, ProcessDirection::Seal).text + "\n";
}

using Names = std::vector<std::string>;

// The text reaches the program through a pipe (read whole) or as a file (read in
// pieces): two ways to the same output code.
enum class Way { Pipe, File };

RunResult seal_to(const TempDir& dir, const std::string& out, Way way,
                  const std::string& text = kText) {
    std::vector<std::string> args = with_password(dir, "pw", {"--seal", "-o", out});
    if (way == Way::Pipe)
        return run_cli({.args = args, .input = text});
    write_file(dir.path("input"), text);
    args.push_back(dir.path("input"));
    return run_cli({.args = args});
}

struct stat status_of(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

std::string link_of(const std::string& path) {
    char target[4096];
    const ssize_t size = ::readlink(path.c_str(), target, sizeof target);
    return size < 0 ? std::string() : std::string(target, std::size_t(size));
}

mode_t current_umask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

void expect_refused(const RunResult& run, const std::string& says) {
    EXPECT_EQ(run.exit_status, 1) << run.err;
    EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
}

TEST(OutputPath, LinkStaysALinkAndTheFileItNamesIsReplaced) {
    for (const Way way : {Way::Pipe, Way::File}) {
        TempDir dir;
        write_file(dir.path("real"), "old");
        ASSERT_EQ(::symlink("real", dir.path("link").c_str()), 0);
        const RunResult run = seal_to(dir, dir.path("link"), way);
        ASSERT_EQ(run.exit_status, 0) << run.err;
        EXPECT_TRUE(S_ISLNK(status_of(dir.path("link")).st_mode));
        EXPECT_EQ(link_of(dir.path("link")), "real");
        EXPECT_EQ(read_file(dir.path("real")), sealed(kText));
        const Names expected = way == Way::Pipe ? Names{"link", "password", "real"}
                                                : Names{"input", "link", "password", "real"};
        EXPECT_EQ(dir.names(), expected);
    }
}

TEST(OutputPath, ChainOfLinksLeadsIntoAnotherDirectory) {
    TempDir dir, other;
    write_file(other.path("final"), "old");
    ASSERT_EQ(::symlink(other.path("second").c_str(), dir.path("first").c_str()), 0);
    ASSERT_EQ(::symlink("final", other.path("second").c_str()), 0);
    const RunResult run = seal_to(dir, dir.path("first"), Way::Pipe);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(read_file(other.path("final")), sealed(kText));
    EXPECT_EQ(link_of(other.path("second")), "final");
    EXPECT_EQ(dir.names(), (Names{"first", "password"}));
    EXPECT_EQ(other.names(), (Names{"final", "second"}));
}

TEST(OutputPath, DanglingLinkCreatesTheFileItNames) {
    TempDir dir;
    ASSERT_EQ(::symlink("made", dir.path("link").c_str()), 0);
    const RunResult run = seal_to(dir, dir.path("link"), Way::File);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(link_of(dir.path("link")), "made");
    EXPECT_EQ(read_file(dir.path("made")), sealed(kText));
    EXPECT_EQ(status_of(dir.path("made")).st_mode & 07777, 0666 & ~current_umask());
}

TEST(OutputPath, LoopOfLinksOrAMissingDirectoryIsRefused) {
    TempDir dir;
    ASSERT_EQ(::symlink("b", dir.path("a").c_str()), 0);
    ASSERT_EQ(::symlink("a", dir.path("b").c_str()), 0);
    ASSERT_EQ(::symlink("absent/file", dir.path("lost").c_str()), 0);
    for (const Way way : {Way::Pipe, Way::File}) {
        expect_refused(seal_to(dir, dir.path("a"), way), "Too many levels of symbolic links");
        expect_refused(seal_to(dir, dir.path("lost"), way), "No such file or directory");
    }
    EXPECT_EQ(dir.names(), (Names{"a", "b", "input", "lost", "password"}));
}

TEST(OutputPath, UnwritableDirectoryIsRefused) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into any directory";
    TempDir dir;
    ASSERT_EQ(::mkdir(dir.path("locked").c_str(), 0555), 0);
    ASSERT_EQ(::symlink("locked/file", dir.path("link").c_str()), 0);
    expect_refused(seal_to(dir, dir.path("link"), Way::Pipe), "Permission denied");
    EXPECT_EQ(::rmdir(dir.path("locked").c_str()), 0) << "something was left in it";
}

TEST(OutputPath, FifoIsWrittenDirectly) {
    for (const Way way : {Way::Pipe, Way::File}) {
        TempDir dir;
        ASSERT_EQ(::mkfifo(dir.path("fifo").c_str(), 0600), 0);
        // The reader is there first, so the writer need not wait; the text fits in
        // the pipe's buffer until it is read.
        const int reader = ::open(dir.path("fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader, 0);
        const RunResult run = seal_to(dir, dir.path("fifo"), way);
        std::string got;
        char buffer[4096];
        for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;)
            got.append(buffer, std::size_t(n));
        ::close(reader);
        EXPECT_EQ(run.exit_status, 0) << run.err;
        EXPECT_EQ(got, sealed(kText));
        EXPECT_TRUE(S_ISFIFO(status_of(dir.path("fifo")).st_mode));
    }
}

TEST(OutputPath, CharacterDeviceStaysADevice) {
    TempDir dir;
    // A null device of the test's own, so that a fault cannot replace the system's.
    if (::mknod(dir.path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot make a device node here";
    for (const Way way : {Way::Pipe, Way::File}) {
        const RunResult run = seal_to(dir, dir.path("null"), way);
        EXPECT_EQ(run.exit_status, 0) << run.err;
        EXPECT_TRUE(S_ISCHR(status_of(dir.path("null")).st_mode));
    }
}

// Runs with standard output appending to `out`, and descriptor 5 the write end of
// a pipe whose content is returned.
std::string run_with_descriptors(const TempDir& dir, const std::string& out_path,
                                 const std::string& to) {
    write_file(dir.path("input"), kText);
    const int out = ::open(out_path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    int pipe_fds[2];
    EXPECT_EQ(::pipe2(pipe_fds, O_CLOEXEC), 0);
    // Far from 5, which the child's dup2 would otherwise leave close-on-exec.
    const int write_end = ::fcntl(pipe_fds[1], F_DUPFD_CLOEXEC, 100);
    ::close(pipe_fds[1]);
    const int err = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid =
        spawn_cli(with_password(dir, "pw", {"-o", to, dir.path("input")}),
                  {.stdout_fd = out, .stderr_fd = err, .extra_fds = {{5, write_end}}});
    ::close(out);
    ::close(err);
    ::close(write_end);
    std::string piped;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;)
        piped.append(buffer, std::size_t(n));
    ::close(pipe_fds[0]);
    RunResult result;
    wait_for(pid, 10000, result);
    EXPECT_EQ(result.exit_status, 0) << to;
    return piped;
}

// /dev/stdout works the same way, one link further; the tests keep away from the
// system's /dev, which a fault would replace.
TEST(OutputPath, OwnDescriptorsAreWrittenAsTheyWereOpened) {
    TempDir dir;
    for (const char* path : {"/dev/fd/1", "/proc/self/fd/1"}) {
        write_file(dir.path("log"), "kept\n");
        EXPECT_EQ(run_with_descriptors(dir, dir.path("log"), path), "");
        EXPECT_EQ(read_file(dir.path("log")), "kept\n" + sealed(kText)) << path;
    }
    for (const char* path : {"/dev/fd/5", "/proc/self/fd/5"})
        EXPECT_EQ(run_with_descriptors(dir, dir.path("log"), path), sealed(kText)) << path;
    // Standard input is open for reading only.
    expect_refused(run_cli({.args = with_password(dir, "pw", {"-o", "/dev/fd/0"}), .input = kText}),
                   "Bad file descriptor");
}

TEST(OutputPath, DirectorySocketAndHardLinkedFileAreRefused) {
    TempDir dir;
    ASSERT_EQ(::mkdir(dir.path("dir").c_str(), 0700), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string sock_path = dir.path("sock");
    ASSERT_LT(sock_path.size(), sizeof address.sun_path);
    sock_path.copy(address.sun_path, sock_path.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    write_file(dir.path("one"), "old");
    ASSERT_EQ(::link(dir.path("one").c_str(), dir.path("two").c_str()), 0);
    for (const Way way : {Way::Pipe, Way::File}) {
        expect_refused(seal_to(dir, dir.path("dir"), way), "Is a directory");
        expect_refused(seal_to(dir, dir.path("one") + "/", way), "Not a directory");
        expect_refused(seal_to(dir, dir.path("sock"), way), "it is a socket");
        expect_refused(seal_to(dir, dir.path("two"), way), "it has other hard links");
    }
    ::close(sock);
    EXPECT_TRUE(S_ISSOCK(status_of(dir.path("sock")).st_mode));
    EXPECT_EQ(read_file(dir.path("one")), "old");
    EXPECT_EQ(status_of(dir.path("one")).st_nlink, 2u);
    EXPECT_EQ(dir.names(), (Names{"dir", "input", "one", "password", "sock", "two"}));
}

// The key is never written over, by any name, nor the text as it is being read.
TEST(OutputPath, ThePasswordFileAndTheTextBeingReadAreRefused) {
    TempDir dir;
    write_file(dir.path("password"), "pw\n");
    ASSERT_EQ(::symlink(dir.path("password").c_str(), dir.path("key").c_str()), 0);
    ASSERT_EQ(::link(dir.path("password").c_str(), dir.path("again").c_str()), 0);
    for (const Way way : {Way::Pipe, Way::File}) {
        for (const char* name : {"password", "key", "again"}) {
            expect_refused(seal_to(dir, dir.path(name), way), "it is the password file");
            EXPECT_EQ(read_file(dir.path("password")), "pw\n") << name;
        }
    }
    // Standard output appending to the very file being read, by either name.
    write_file(dir.path("input"), kText);
    for (const bool named : {false, true}) {
        std::vector<std::string> args = with_password(dir, "pw", {dir.path("input")});
        if (named)
            args.insert(args.begin(), {"-o", "/proc/self/fd/1"});
        const int out = ::open(dir.path("input").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        const int err = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        const pid_t pid = spawn_cli(args, {.stdout_fd = out, .stderr_fd = err});
        ::close(out);
        ::close(err);
        RunResult result;
        wait_for(pid, 10000, result);
        EXPECT_EQ(result.exit_status, 1) << named;
        EXPECT_EQ(read_file(dir.path("input")), kText) << named;
    }
}

// Opens the sealed text in `from` into `to`, which then holds only its owner's
// permissions.
void expect_opened_into(const TempDir& dir, const std::string& from, const std::string& to) {
    const RunResult opened = run_cli({.args = with_password(dir, "pw", {"-o", to, from})});
    ASSERT_EQ(opened.exit_status, 0) << opened.err;
    EXPECT_EQ(read_file(to), kText);
    EXPECT_EQ(status_of(to).st_mode & 07777, 0600u);
}

TEST(OutputPath, ReplacedFileKeepsItsModeAndOwner) {
    const bool superuser = ::geteuid() == 0;
    for (const Way way : {Way::Pipe, Way::File}) {
        TempDir dir;
        write_file(dir.path("kept"), "old");
        ASSERT_EQ(::chmod(dir.path("kept").c_str(), 0640), 0);
        if (superuser) {
            ASSERT_EQ(::chown(dir.path("kept").c_str(), 1234, 5678), 0);
        }
        const RunResult run = seal_to(dir, dir.path("kept"), way);
        ASSERT_EQ(run.exit_status, 0) << run.err;
        EXPECT_EQ(read_file(dir.path("kept")), sealed(kText));
        const struct stat after = status_of(dir.path("kept"));
        EXPECT_EQ(after.st_mode & 07777, 0640u);
        if (superuser) {
            EXPECT_EQ(after.st_uid, 1234u);
            EXPECT_EQ(after.st_gid, 5678u);
        }
    }
    // Opened in place, the text keeps only its owner's permissions.
    TempDir dir;
    write_file(dir.path("letter"), sealed(kText));
    ASSERT_EQ(::chmod(dir.path("letter").c_str(), 0640), 0);
    expect_opened_into(dir, dir.path("letter"), dir.path("letter"));
}

TEST(OutputPath, NewFilesGetTheirOwnModes) {
    TempDir dir;
    ASSERT_EQ(seal_to(dir, dir.path("sealed"), Way::File).exit_status, 0);
    EXPECT_EQ(status_of(dir.path("sealed")).st_mode & 07777, 0666 & ~current_umask());
    // An opened text is nobody else's business, whatever the umask.
    expect_opened_into(dir, dir.path("sealed"), dir.path("opened"));
}

TEST(OutputPath, NameAsLongAsTheSystemAllows) {
    TempDir dir;
    const std::string name(255, 'n');
    for (const Way way : {Way::Pipe, Way::File}) {
        const RunResult run = seal_to(dir, dir.path(name), way);
        ASSERT_EQ(run.exit_status, 0) << run.err;
        EXPECT_EQ(read_file(dir.path(name)), sealed(kText));
    }
}

TEST(OutputPath, FileSizeLimitFailsWithAMessageAndLeavesNothing) {
    TempDir dir;
    for (const Way way : {Way::Pipe, Way::File}) {
        const std::string text(20000, 'q');
        std::vector<std::string> args = with_password(dir, "pw", {"--seal", "-o", dir.path("out")});
        write_file(dir.path("input"), text);
        if (way == Way::File)
            args.push_back(dir.path("input"));
        const RunResult run = run_cli({.args = args, .input = text, .file_size_limit = 8192});
        EXPECT_EQ(run.signal, 0);
        expect_refused(run, "cannot write " + dir.path("out") + ": File too large");
        EXPECT_EQ(dir.names(), (Names{"input", "password"}));
    }
}

// A descriptor of `pid` open on a file in `dir` that is none of `known`: the
// file the result is being built in.
bool has_output_open(pid_t pid, const TempDir& dir, const Names& known) {
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    DIR* listing = ::opendir(fds.c_str());
    if (!listing)
        return false;
    bool found = false;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string target = link_of(fds + "/" + entry->d_name);
        if (!target.starts_with(dir.path("")))
            continue;
        const std::string name = target.substr(dir.path("").size());
        found = found || std::find(known.begin(), known.end(), name) == known.end();
    }
    ::closedir(listing);
    return found;
}

TEST(OutputPath, KilledRunLeavesNothingBehind) {
    TempDir dir;
    // Large enough that writing it takes a while.
    std::string text;
    while (text.size() < (48u << 20))
        text += "a line of the long text, number " + std::to_string(text.size()) + "\n";
    write_file(dir.path("input"), text);
    write_file(dir.path("target"), "old");
    const std::vector<std::string> args =
        with_password(dir, "pw", {"-o", dir.path("target"), dir.path("input")});
    const Names before = dir.names();
    for (const int signal_number : {SIGKILL, SIGUSR1, SIGALRM}) {
        pid_t pid = -1;
        // Stopped while the output is open; a run that slipped past is run again.
        for (int attempt = 0; attempt < 3 && pid < 0; ++attempt) {
            pid = spawn_cli(args, {});
            RunResult ended;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!has_output_open(pid, dir, before)) {
                if (std::chrono::steady_clock::now() > deadline ||
                    ::waitpid(pid, nullptr, WNOHANG) != 0)
                    break;
            }
            ::kill(pid, SIGSTOP);
            if (!has_output_open(pid, dir, before)) {
                ::kill(pid, SIGKILL);
                wait_for(pid, 10000, ended);
                write_file(dir.path("target"), "old");
                pid = -1;
            }
        }
        ASSERT_GT(pid, 0) << "each run ended before its output was seen";
        // Halfway through, nothing in the directory is new.
        EXPECT_EQ(dir.names(), before) << strsignal(signal_number);
        ::kill(pid, signal_number);
        ::kill(pid, SIGCONT);
        RunResult result;
        wait_for(pid, 10000, result);
        EXPECT_EQ(result.signal, signal_number);
        EXPECT_EQ(dir.names(), before) << strsignal(signal_number);
        EXPECT_EQ(read_file(dir.path("target")), "old");
    }
}

}  // namespace
}  // namespace tarnel::cli_test

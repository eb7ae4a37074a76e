// SPDX-License-Identifier: MIT
// OutputFile where the program cannot be made to go on demand: the named
// temporary file that file systems without unnamed files get, and stopping
// halfway, as a seal that fails its check does.
#include "output.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_runner.h"
#include "signal_cleanup.h"

namespace tarnel::cli {
namespace {

using cli_test::read_file;
using cli_test::TempDir;
using cli_test::write_file;
using Names = std::vector<std::string>;

constexpr Temporary kBothKinds[] = {Temporary::Unnamed, Temporary::Named};

TEST(OutputFile, NamedTemporaryReplacesTheFileALinkNamesAndKeepsItsMode) {
    TempDir dir;
    write_file(dir.path("real"), "old");
    ASSERT_EQ(::chmod(dir.path("real").c_str(), 0640), 0);
    ASSERT_EQ(::symlink("real", dir.path("link").c_str()), 0);
    OutputFile file;
    ASSERT_TRUE(file.begin(dir.path("link"), ResultText::Sealed, Temporary::Named));
    EXPECT_EQ(dir.names().size(), 3u) << "the named temporary file";
    file.write("new ");
    file.write("text");
    ASSERT_FALSE(file.commit().failed());
    EXPECT_EQ(read_file(dir.path("real")), "new text");
    struct stat status {};
    ASSERT_EQ(::stat(dir.path("real").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    ASSERT_EQ(::lstat(dir.path("link").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(dir.names(), (Names{"link", "real"}));
}

TEST(OutputFile, AbandonedFileStaysAsItWas) {
    for (const Temporary temporary : kBothKinds) {
        TempDir dir;
        write_file(dir.path("target"), "old");
        OutputFile file;
        ASSERT_TRUE(file.begin(dir.path("target"), ResultText::Opened, temporary));
        file.write("half of a sealed text");
        EXPECT_FALSE(file.abandon()) << "nothing went out";
        EXPECT_EQ(read_file(dir.path("target")), "old");
        EXPECT_EQ(dir.names(), Names{"target"});
    }
}

TEST(OutputFile, AbandonedDirectOutputIsIncomplete) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    OutputFile file;
    ASSERT_TRUE(file.begin("/proc/self/fd/" + std::to_string(fds[1]), ResultText::Sealed));
    EXPECT_FALSE(file.abandon()) << "nothing written yet";
    ASSERT_TRUE(file.begin("/proc/self/fd/" + std::to_string(fds[1]), ResultText::Sealed));
    file.write("{{12");
    EXPECT_TRUE(file.abandon());
    // Our own descriptor stays open; the text went through it.
    EXPECT_EQ(::write(fds[1], "!", 1), 1);
    char got[8] = {};
    EXPECT_EQ(::read(fds[0], got, sizeof got), 5);
    EXPECT_STREQ(got, "{{12!");
    ::close(fds[0]);
    ::close(fds[1]);
}

// In a child, which a signal then ends halfway through writing.
TEST(OutputFile, SignalRemovesTheNamedTemporary) {
    for (const Temporary temporary : kBothKinds) {
        TempDir dir;
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            install_cleanup_handlers();
            OutputFile file;
            if (!file.begin(dir.path("target"), ResultText::Opened, temporary))
                ::_exit(2);
            file.write("half");
            // Named: the temporary file is there to be removed; unnamed: nothing is.
            if (dir.names().size() != (temporary == Temporary::Named ? 1u : 0u))
                ::_exit(3);
            ::raise(SIGUSR1);
            ::_exit(4);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGUSR1)
            << "exit status " << WEXITSTATUS(status);
        EXPECT_EQ(dir.names(), Names{});
    }
}

}  // namespace
}  // namespace tarnel::cli

// SPDX-License-Identifier: MIT
// The programs protect their memory before they wait for anything: each is
// started, left waiting (tarnel-cli for its password, the window for events), and
// its core limit read from /proc while it waits.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "program_command.h"

extern char** environ;

namespace {

// The "Max core file size" line of /proc/<pid>/limits, its words joined by one space.
std::string CoreLimit(pid_t pid) {
    std::ifstream limits("/proc/" + std::to_string(pid) + "/limits");
    std::string line;
    while (std::getline(limits, line)) {
        if (line.rfind("Max core file size", 0) != 0)
            continue;
        std::istringstream words(line);
        std::string word, joined;
        while (words >> word)
            joined += (joined.empty() ? "" : " ") + word;
        return joined;
    }
    return "";
}

// Starts `program` with `args`, its standard input at /dev/null and descriptor 3
// the reading end of a pipe nobody writes to, and returns the core limit it
// reaches within 10 s.
std::string CoreLimitOfWaitingProgram(const std::string& program,
                                      const std::vector<std::string>& args) {
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0)
        return "no pipe";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[0], 3);
    std::vector<std::string> command = tarnel::test::program_command(program);
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (const std::string& arg : command)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[0]);
    if (error != 0) {
        close(pipe_fds[1]);
        return "not started";
    }
    std::string limit;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        limit = CoreLimit(pid);
        if (limit == "Max core file size 0 0 bytes")
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    kill(pid, SIGKILL);
    close(pipe_fds[1]);
    waitpid(pid, nullptr, 0);
    return limit;
}

// The programs inherit this process's limits: a hard limit that is zero already
// would hide whether they set it.
class Programs : public ::testing::Test {
  protected:
    void SetUp() override {
        rlimit limit{};
        ASSERT_EQ(getrlimit(RLIMIT_CORE, &limit), 0);
        if (limit.rlim_max == 0)
            GTEST_SKIP() << "the core limit is zero already";
    }
};

#ifdef TARNEL_CLI_PATH
TEST_F(Programs, TarnelCliHasNoCoreLimitWhileItWaitsForThePassword) {
    EXPECT_EQ(CoreLimitOfWaitingProgram(TARNEL_CLI_PATH, {"--password-fd", "3", "--seal"}),
              "Max core file size 0 0 bytes");
}
#endif

#ifdef TARNEL_WINDOW_PATH
TEST_F(Programs, TheWindowHasNoCoreLimitWhileItWaitsForEvents) {
    EXPECT_EQ(CoreLimitOfWaitingProgram(TARNEL_WINDOW_PATH, {}), "Max core file size 0 0 bytes");
}
#endif

}  // namespace

// SPDX-License-Identifier: MIT
#include "signal_cleanup.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace tarnel::cli {
namespace {

// Only async-signal-safe state: the handler reads these, the main flow writes them
// with the signals blocked.
volatile sig_atomic_t g_terminal_fd = -1;
TerminalSettings g_terminal_settings;
volatile sig_atomic_t g_have_file = 0;
char g_file[4096];

// Every signal whose default action ends the process and that can be caught,
// but for the faults (SIGSEGV and the like), after which nothing is to be trusted.
constexpr int kFatalSignals[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGUSR1,
                                 SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU};

void undo_and_die(int signal_number) {
    if (g_terminal_fd >= 0)
        ::tcsetattr(g_terminal_fd, TCSAFLUSH, &g_terminal_settings);
    if (g_have_file)
        ::unlink(g_file);
    // SA_RESETHAND has put the default action back; it strikes once we return.
    ::raise(signal_number);
}

// Changes the registrations while no fatal signal can be handled halfway.
class SignalsHeld {
  public:
    SignalsHeld() noexcept {
        sigset_t fatal;
        sigemptyset(&fatal);
        for (const int signal_number : kFatalSignals)
            sigaddset(&fatal, signal_number);
        sigprocmask(SIG_BLOCK, &fatal, &m_previous);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &m_previous, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t m_previous;
};

}  // namespace

void install_cleanup_handlers() noexcept {
    for (const int signal_number : kFatalSignals) {
        struct sigaction current {};
        if (sigaction(signal_number, nullptr, &current) != 0)
            continue;
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        if (current.sa_handler == SIG_IGN)
            continue;
        struct sigaction handler {};
        handler.sa_handler = undo_and_die;
        handler.sa_flags = SA_RESETHAND;
        sigemptyset(&handler.sa_mask);
        for (const int other : kFatalSignals)
            sigaddset(&handler.sa_mask, other);
        sigaction(signal_number, &handler, nullptr);
    }
}

void restore_terminal_on_signal(int fd, const TerminalSettings& settings) noexcept {
    SignalsHeld held;
    g_terminal_settings = settings;
    g_terminal_fd = fd;
}

void forget_terminal() noexcept {
    SignalsHeld held;
    g_terminal_fd = -1;
}

void remove_on_signal(const char* path) noexcept {
    SignalsHeld held;
    const std::size_t length = path ? std::strlen(path) : 0;
    g_have_file = path && length < sizeof g_file;
    if (g_have_file)
        std::memcpy(g_file, path, length + 1);
}

}  // namespace tarnel::cli

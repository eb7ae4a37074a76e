// SPDX-License-Identifier: MIT
#include "signal_cleanup.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>

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
sigset_t fatal_signals() noexcept {
    sigset_t fatal;
    sigemptyset(&fatal);
    for (const int signal_number :
         {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU})
        sigaddset(&fatal, signal_number);
    return fatal;
}

void undo_and_die(int signal_number) {
    if (g_terminal_fd >= 0)
        ::tcsetattr(g_terminal_fd, TCSAFLUSH, &g_terminal_settings);
    if (g_have_file)
        ::unlink(g_file);
    // SA_RESETHAND has put the default action back; it strikes once we return.
    ::raise(signal_number);
}

// Changes the registrations while no fatal signal can be handled halfway.
template <typename Change>
void with_signals_held(Change change) noexcept {
    const sigset_t fatal = fatal_signals();
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &fatal, &previous);
    change();
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace

void install_cleanup_handlers() noexcept {
    struct sigaction handler {};
    handler.sa_handler = undo_and_die;
    handler.sa_flags = SA_RESETHAND;
    handler.sa_mask = fatal_signals();
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        struct sigaction current {};
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        if (sigismember(&handler.sa_mask, signal_number) == 1 &&
            sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            sigaction(signal_number, &handler, nullptr);
    }
}

void restore_terminal_on_signal(int fd, const TerminalSettings& settings) noexcept {
    with_signals_held([&] {
        g_terminal_settings = settings;
        g_terminal_fd = fd;
    });
}

void forget_terminal() noexcept {
    with_signals_held([] { g_terminal_fd = -1; });
}

void remove_on_signal(const char* path) noexcept {
    const std::size_t length = path ? std::strlen(path) : 0;
    with_signals_held([&] {
        g_have_file = path && length < sizeof g_file;
        if (g_have_file)
            std::memcpy(g_file, path, length + 1);
    });
}

}  // namespace tarnel::cli

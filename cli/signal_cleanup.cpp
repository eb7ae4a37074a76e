// SPDX-License-Identifier: MIT
// The registrations are shared; what catches the end is each system's: the fatal
// signals on POSIX, and on Windows Ctrl+C, Ctrl+Break and a closing console,
// whose handler runs on a thread of its own.
#include "signal_cleanup.h"

#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <mutex>

#include <windows.h>
#else
#include <unistd.h>

#include <initializer_list>
#endif

namespace tarnel::cli {
namespace {

// What the handler undoes, in plain memory that a signal handler may read.
volatile sig_atomic_t g_have_terminal = 0;
int g_terminal_fd = -1;
TerminalSettings g_terminal_settings;
volatile sig_atomic_t g_have_file = 0;
#ifdef _WIN32
char g_file[3 * 32768];  // the longest path there is, in UTF-8
#else
char g_file[4096];
#endif

#ifdef _WIN32

std::mutex& cleanup_lock() {
    static auto* lock = new std::mutex;  // never destroyed: the handler may outlive main
    return *lock;
}

// Changes the registrations while the handler cannot read them.
template <typename Change>
void held(Change change) noexcept {
    const std::lock_guard locked(cleanup_lock());
    change();
}

BOOL WINAPI undo_and_end(DWORD) {
    const std::lock_guard locked(cleanup_lock());
    if (g_have_terminal)
        SetConsoleMode(g_terminal_settings.console_input, g_terminal_settings.input_mode);
    static wchar_t wide[32768];
    if (g_have_file && MultiByteToWideChar(CP_UTF8, 0, g_file, -1, wide, 32768) > 0)
        DeleteFileW(wide);
    // Not handled: the default handler ends the process.
    return FALSE;
}

#else

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
    if (g_have_terminal)
        ::tcsetattr(g_terminal_fd, TCSAFLUSH, &g_terminal_settings);
    if (g_have_file)
        ::unlink(g_file);
    // SA_RESETHAND has put the default action back; it strikes once we return.
    ::raise(signal_number);
}

// Changes the registrations while no fatal signal can be handled halfway.
template <typename Change>
void held(Change change) noexcept {
    const sigset_t fatal = fatal_signals();
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &fatal, &previous);
    change();
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

#endif

}  // namespace

void install_cleanup_handlers() noexcept {
#ifdef _WIN32
    cleanup_lock();
    SetConsoleCtrlHandler(undo_and_end, TRUE);
#else
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
#endif
}

void restore_terminal_on_signal(int fd, const TerminalSettings& settings) noexcept {
    held([&] {
        g_terminal_settings = settings;
        g_terminal_fd = fd;
        g_have_terminal = 1;
    });
}

void forget_terminal() noexcept {
    held([] { g_have_terminal = 0; });
}

void remove_on_signal(const char* path) noexcept {
    const std::size_t length = path ? std::strlen(path) : 0;
    held([&] {
        g_have_file = path && length < sizeof g_file;
        if (g_have_file)
            std::memcpy(g_file, path, length + 1);
    });
}

}  // namespace tarnel::cli

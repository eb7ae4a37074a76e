// SPDX-License-Identifier: MIT
// tarnel-cli on Windows: the wide-character entry point, byte-exact standard
// streams, the console prompt without echo, files by UTF-8 name, and putting the
// result in place. The POSIX files it stands in for: hardening.cpp,
// terminal_prompt.cpp, file_access.cpp and output_posix.cpp.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "file_access.h"
#include "hardening.h"
#include "output.h"
#include "program.h"
#include "secret_reader.h"
#include "signal_cleanup.h"
#include "tarnel/hardening.h"
#include "tarnel/secure_wipe.h"
#include "terminal_prompt.h"

// Last: its macros would rename the declarations above.
#include <windows.h>
//
#include <aclapi.h>

namespace tarnel::cli {
namespace {

std::wstring to_wide(const std::string& text) {
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(std::size_t(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), size);
    return wide;
}

std::string to_utf8(const wchar_t* text, std::size_t length) {
    if (length == 0)
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, int(length), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// The errno for what the platform reported, for the one-line messages.
int errno_of(DWORD error) noexcept {
    static constexpr std::pair<DWORD, int> kErrnos[] = {{ERROR_FILE_NOT_FOUND, ENOENT},
                                                        {ERROR_PATH_NOT_FOUND, ENOENT},
                                                        {ERROR_ACCESS_DENIED, EACCES},
                                                        {ERROR_SHARING_VIOLATION, EACCES},
                                                        {ERROR_UNABLE_TO_REMOVE_REPLACED, EACCES},
                                                        {ERROR_LOCK_VIOLATION, EACCES},
                                                        {ERROR_DISK_FULL, ENOSPC},
                                                        {ERROR_HANDLE_DISK_FULL, ENOSPC},
                                                        {ERROR_NOT_SAME_DEVICE, EXDEV},
                                                        {ERROR_FILE_EXISTS, EEXIST},
                                                        {ERROR_ALREADY_EXISTS, EEXIST},
                                                        {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG}};
    for (const auto& [windows, posix] : kErrnos) {
        if (windows == error)
            return posix;
    }
    return EIO;
}

// The folder part of `path`, to which a name is appended: beside the target, so
// that the rename stays on one volume. "C:name" is in the drive's current folder.
std::string directory_of(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos)
        return path.substr(0, slash + 1);
    return path.size() > 1 && path[1] == ':' ? path.substr(0, 2) : std::string();
}

// File systems without access lists, or that cannot replace a file, say so in
// several ways.
bool unsupported(DWORD error) noexcept {
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

// The replaced file's access list, as it is, inherited entries and all. Returns 0 or
// the platform's error.
DWORD take_access_list(HANDLE file, const std::wstring& replaced) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = GetNamedSecurityInfoW(replaced.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, &dacl, nullptr, &descriptor);
    if (error == ERROR_FILE_NOT_FOUND || unsupported(error))
        return 0;
    if (error != ERROR_SUCCESS)
        return error;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    const SECURITY_INFORMATION protection = (control & SE_DACL_PROTECTED)
                                                ? PROTECTED_DACL_SECURITY_INFORMATION
                                                : UNPROTECTED_DACL_SECURITY_INFORMATION;
    error = SetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | protection, nullptr,
                            nullptr, dacl, nullptr);
    LocalFree(descriptor);
    return unsupported(error) ? 0 : error;
}

// Reads one line from the console as UTF-16 and gives it as UTF-8, without the
// line break. Every buffer is wiped; room for the longest line is taken at
// once, so that no copy is left behind by growing.
int read_console_line(HANDLE input, std::string& answer, std::size_t max_length) {
    std::vector<wchar_t> line;
    wchar_t chunk[128];
    line.reserve(max_length + 2 + std::size(chunk));
    int error = 0;
    for (;;) {
        // Each UTF-16 unit is at least one byte of UTF-8.
        if (line.size() > max_length + 2) {
            error = kLineTooLong;
            break;
        }
        DWORD got = 0;
        if (!ReadConsoleW(input, chunk, DWORD(std::size(chunk)), &got, nullptr)) {
            error = EIO;
            break;
        }
        if (got == 0)
            break;
        line.insert(line.end(), chunk, chunk + got);
        if (line.back() == L'\n')
            break;
    }
    secure_wipe(chunk, sizeof chunk);
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r'))
        line.pop_back();
    secure_wipe(answer);
    if (error == 0)
        answer = to_utf8(line.data(), line.size());
    secure_wipe(line.data(), line.size() * sizeof(wchar_t));
    if (error == 0 && answer.size() > max_length) {
        secure_wipe(answer);
        error = kLineTooLong;
    }
    return error;
}

void write_console(HANDLE output, const std::string& text) {
    const std::wstring wide = to_wide(text);
    DWORD written = 0;
    WriteConsoleW(output, wide.data(), DWORD(wide.size()), &written, nullptr);
}

}  // namespace

void harden_process() noexcept {
    // A text is bytes: no CR LF translation and no end at a Ctrl+Z, in either direction.
    for (const int fd : {0, 1, 2})
        _setmode(fd, _O_BINARY);
    hardening::protect_memory();
    install_cleanup_handlers();
}

TerminalPrompt::TerminalPrompt() noexcept {
    // The console itself, whatever standard input and output are.
    HANDLE input =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE output =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE ||
        !GetConsoleMode(input, &mode)) {
        if (input != INVALID_HANDLE_VALUE)
            CloseHandle(input);
        if (output != INVALID_HANDLE_VALUE)
            CloseHandle(output);
        return;
    }
    m_saved = {input, output, mode};
    // Registered before the change, so that Ctrl+C cannot leave echo off.
    restore_terminal_on_signal(-1, m_saved);
    const DWORD quiet = (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~ENABLE_ECHO_INPUT;
    if (!SetConsoleMode(input, quiet)) {
        forget_terminal();
        CloseHandle(input);
        CloseHandle(output);
        return;
    }
    // A descriptor only to say that the prompt is open; closing it closes the handle.
    m_fd = _open_osfhandle(reinterpret_cast<intptr_t>(input), _O_RDONLY);
    if (m_fd < 0) {
        SetConsoleMode(input, mode);
        forget_terminal();
        CloseHandle(input);
        CloseHandle(output);
    }
}

TerminalPrompt::~TerminalPrompt() {
    if (m_fd < 0)
        return;
    SetConsoleMode(m_saved.console_input, m_saved.input_mode);
    forget_terminal();
    CloseHandle(m_saved.console_output);
    _close(m_fd);
}

bool TerminalPrompt::available() noexcept {
    HANDLE input =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE)
        return false;
    DWORD mode = 0;
    const bool console = GetConsoleMode(input, &mode);
    CloseHandle(input);
    return console;
}

int TerminalPrompt::ask(const char* question, std::string& answer, std::size_t max_length) {
    write_console(m_saved.console_output, question);
    const int error = read_console_line(m_saved.console_input, answer, max_length);
    // The Enter key was not echoed; end the prompt's line.
    write_console(m_saved.console_output, "\r\n");
    return error;
}

int open_to_read(const std::string& path) noexcept {
    try {
        return _wopen(to_wide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    } catch (...) {
        errno = ENOMEM;
        return -1;
    }
}

void use_binary_mode(int fd) noexcept {
    _setmode(fd, _O_BINARY);
}

namespace {

// What the file system keeps of `file`, when it is a regular file on a disk.
bool regular_file_information(HANDLE file, BY_HANDLE_FILE_INFORMATION& information) noexcept {
    return file != INVALID_HANDLE_VALUE && GetFileType(file) == FILE_TYPE_DISK &&
           GetFileInformationByHandle(file, &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

// The modification time to its 100 ns, as the file system keeps it.
FileStamp stamp_of(int fd) noexcept {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!regular_file_information(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), information))
        return {};
    const uint64_t ticks = uint64_t(information.ftLastWriteTime.dwHighDateTime) << 32 |
                           information.ftLastWriteTime.dwLowDateTime;
    return {true, uint64_t(information.nFileSizeHigh) << 32 | information.nFileSizeLow,
            int64_t(ticks / 10000000), long(ticks % 10000000 * 100)};
}

namespace {

FileIdentity identity_of_handle(HANDLE handle) noexcept {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!regular_file_information(handle, info))
        return {};
    return {true, info.dwVolumeSerialNumber,
            (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

FileIdentity identity_of(int fd) noexcept {
    return identity_of_handle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
}

FileIdentity identity_of(const std::string& path) noexcept {
    try {
        const HANDLE handle = CreateFileW(
            to_wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        const FileIdentity identity = identity_of_handle(handle);
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        return identity;
    } catch (...) {
        return {};
    }
}

uint64_t usable_memory() noexcept {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

// A hidden temporary file with a short name beside the target, with the target's
// access list; a new file gets the access list its folder passes on.
WriteFailure OutputFile::open(const std::string& path, ResultText, Temporary) {
    m_replaces = true;
    m_directory = directory_of(path);
    m_name = path.substr(m_directory.size());
    HANDLE file = INVALID_HANDLE_VALUE;
    const WriteFailure failure =
        with_fresh_name("cannot create a temporary file beside", [&](const std::string& name) {
            // No sharing but deletion, which Ctrl+C may need.
            file = CreateFileW(to_wide(m_directory + name).c_str(),
                               GENERIC_WRITE | READ_CONTROL | WRITE_DAC, FILE_SHARE_DELETE, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
            return file == INVALID_HANDLE_VALUE ? errno_of(GetLastError()) : 0;
        });
    if (failure.failed())
        return failure;
    // Nothing is written to a file that others may read more of than the target.
    if (const DWORD taken = take_access_list(file, to_wide(path)); taken != 0) {
        CloseHandle(file);
        return {errno_of(taken), "cannot set the permissions of a temporary file beside"};
    }
    m_fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (m_fd < 0) {
        CloseHandle(file);
        return {EMFILE, "cannot write"};
    }
    m_owns_fd = true;
    return {};
}

// ReplaceFileW keeps the replaced file's access list, creation time and streams;
// where it cannot (no file to replace, a file system that has no such thing), a
// rename does.
WriteFailure OutputFile::install() {
    WriteFailure failure;
    if (_commit(m_fd) != 0)
        failure = {errno, "cannot write"};
    m_owns_fd = false;
    if (_close(m_fd) != 0 && !failure.failed())
        failure = {errno, "cannot write"};
    if (failure.failed())
        return failure;
    const std::wstring temporary = to_wide(m_directory + m_temporary);
    const std::wstring target = to_wide(m_directory + m_name);
    const DWORD replaced = GetFileAttributesW(target.c_str());
    const bool exists = replaced != INVALID_FILE_ATTRIBUTES;
    if (!exists || !ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                 REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                                 nullptr, nullptr)) {
        const DWORD error = exists ? GetLastError() : ERROR_FILE_NOT_FOUND;
        // Without a backup, ERROR_UNABLE_TO_MOVE_REPLACEMENT leaves no file in the place.
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
            error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 && !unsupported(error))
            return {errno_of(error), "cannot replace"};
        if (!MoveFileExW(temporary.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return {errno_of(GetLastError()), "cannot replace"};
    }
    // The temporary file was hidden; the result is hidden only as the file it
    // replaced was. Failing here no longer endangers the text.
    const DWORD now = GetFileAttributesW(target.c_str());
    const bool hidden = exists && (replaced & FILE_ATTRIBUTE_HIDDEN) != 0;
    if (now != INVALID_FILE_ATTRIBUTES && ((now & FILE_ATTRIBUTE_HIDDEN) != 0) != hidden) {
        const DWORD wanted = now ^ FILE_ATTRIBUTE_HIDDEN;
        SetFileAttributesW(target.c_str(), wanted ? wanted : FILE_ATTRIBUTE_NORMAL);
    }
    return {};
}

void OutputFile::remove_temporary() noexcept {
    try {
        DeleteFileW(to_wide(m_directory + m_temporary).c_str());
    } catch (...) {
        // Out of memory: Ctrl+C's cleanup has the name, but nothing else does.
    }
}

// Windows has no descriptors by name: every path is a file to replace.
bool may_replace_file(const std::string&) noexcept {
    return true;
}

bool written_directly(const std::string&) {
    return false;
}

}  // namespace tarnel::cli

// The arguments as UTF-16, so that any file name comes through; the program reads
// them as UTF-8.
int wmain(int argc, wchar_t** wargv) {
    std::vector<std::string> arguments;
    std::vector<char*> argv;
    try {
        for (int i = 0; i < argc; ++i) {
            const wchar_t* argument = wargv[i];
            arguments.push_back(tarnel::cli::to_utf8(argument, wcslen(argument)));
        }
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
    } catch (...) {
        return 1;
    }
    return tarnel::cli::run_program(argc, argv.data());
}

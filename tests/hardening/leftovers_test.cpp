// SPDX-License-Identifier: MIT
// What a program leaves of a text in its memory. Lazy symbol binding saves the
// vector registers on the stack, where pieces of the text then outlive every wipe:
// the programs bind every symbol at start (BIND_NOW) behind read-only relocations
// (RELRO), and a sealed text leaves no run of its plain text in any writable page
// of tarnel-cli at its exit.
#include <elf.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "program_command.h"

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

struct Binding {
    bool relro = false;     // a PT_GNU_RELRO segment
    bool bind_now = false;  // DF_BIND_NOW or DF_1_NOW in the dynamic section
};

// Reads the program headers and dynamic section of a 64-bit ELF file.
Binding BindingOf(const std::string& path) {
    const std::string file = ReadWhole(path);
    Binding found;
    Elf64_Ehdr header{};
    if (file.size() < sizeof header)
        return found;
    std::memcpy(&header, file.data(), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
        return found;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment{};
        const std::size_t at = header.e_phoff + std::size_t(i) * header.e_phentsize;
        if (at + sizeof segment > file.size())
            return found;
        std::memcpy(&segment, file.data() + at, sizeof segment);
        found.relro |= segment.p_type == PT_GNU_RELRO;
        if (segment.p_type != PT_DYNAMIC)
            continue;
        for (std::size_t d = segment.p_offset;
             d + sizeof(Elf64_Dyn) <= file.size() && d < segment.p_offset + segment.p_filesz;
             d += sizeof(Elf64_Dyn)) {
            Elf64_Dyn entry{};
            std::memcpy(&entry, file.data() + d, sizeof entry);
            found.bind_now |= (entry.d_tag == DT_FLAGS && (entry.d_un.d_val & DF_BIND_NOW)) ||
                              (entry.d_tag == DT_FLAGS_1 && (entry.d_un.d_val & DF_1_NOW));
        }
    }
    return found;
}

TEST(ProgramMemory, BindEverySymbolAtStartBehindReadOnlyRelocations) {
    std::vector<std::string> programs;
#ifdef TARNEL_CLI_PATH
    programs.push_back(TARNEL_CLI_PATH);
#endif
#ifdef TARNEL_WINDOW_PATH
    programs.push_back(TARNEL_WINDOW_PATH);
#endif
    ASSERT_FALSE(programs.empty());
    for (const std::string& program : programs) {
        const Binding binding = BindingOf(program);
        EXPECT_TRUE(binding.relro) << program;
        EXPECT_TRUE(binding.bind_now) << program;
    }
}

#ifdef TARNEL_CLI_PATH

// Letters that hex digits and the envelope never hold, so the sealed text cannot
// match them.
std::string DistinctiveText(std::size_t size) {
    std::mt19937 random(20261209);
    std::string text;
    while (text.size() < size)
        text += char('g' + random() % 20);
    return text;
}

// Every run of `window` bytes of `text` found in the stopped process's writable
// mappings, named by the mapping that holds it.
std::vector<std::string> RunsLeftIn(pid_t pid, const std::string& text, std::size_t window) {
    std::vector<std::string> found;
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    const int memory = ::open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY);
    if (memory < 0) {
        found.push_back("cannot read the memory: " + std::string(std::strerror(errno)));
        return found;
    }
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long start = 0, end = 0;
        char perms[5] = {};
        if (std::sscanf(line.c_str(), "%lx-%lx %4s", &start, &end, perms) != 3 || perms[1] != 'w')
            continue;
        // A sanitizer's shadow reserves terabytes that no text reaches.
        if (end - start > (std::size_t(1) << 30))
            continue;
        std::string region(end - start, '\0');
        const ssize_t got = ::pread(memory, region.data(), region.size(), off_t(start));
        if (got <= 0)
            continue;
        region.resize(std::size_t(got));
        for (std::size_t i = 0; i + window <= text.size(); ++i) {
            if (region.find(text.substr(i, window)) != std::string::npos) {
                found.push_back(line);
                break;
            }
        }
    }
    ::close(memory);
    return found;
}

TEST(ProgramMemory, TarnelCliLeavesNoRunOfTheTextInItsMemoryAtExit) {
    if (!tarnel::test::emulator_command().empty())
        GTEST_SKIP() << "an emulator's memory is not the program's";
    char dir_template[] = "/tmp/tarnel-leftovers-XXXXXX";
    ASSERT_NE(::mkdtemp(dir_template), nullptr);
    const std::string dir = dir_template;
    const std::string text = DistinctiveText(64);
    std::ofstream(dir + "/pw") << "password\n";
    std::ofstream(dir + "/text") << text;

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        // LeakSanitizer refuses to run under a tracer; the sanitizer build has it.
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::string options = std::string(asan != nullptr ? asan : "") + ":detect_leaks=0";
        ::setenv("ASAN_OPTIONS", options.c_str(), 1);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        const std::string program = TARNEL_CLI_PATH, pw = dir + "/pw", input = dir + "/text";
        ::execl(program.c_str(), program.c_str(), "--password-file", pw.c_str(), input.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);  // stopped at exec
    ASSERT_TRUE(WIFSTOPPED(status));
    ASSERT_EQ(::ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACEEXIT), 0);
    std::vector<std::string> left;
    bool stopped_at_exit = false;
    for (int signal = 0; ::ptrace(PTRACE_CONT, child, nullptr, signal) == 0;) {
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (WIFEXITED(status) || WIFSIGNALED(status))
            break;
        signal = 0;
        if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
            stopped_at_exit = true;
            left = RunsLeftIn(child, text, 16);
        } else if (WIFSTOPPED(status) && WSTOPSIG(status) != SIGTRAP) {
            signal = WSTOPSIG(status);
        }
    }
    ::waitpid(child, &status, 0);
    ::unlink((dir + "/pw").c_str());
    ::unlink((dir + "/text").c_str());
    ::rmdir(dir.c_str());
    EXPECT_TRUE(stopped_at_exit);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    for (const std::string& where : left)
        ADD_FAILURE() << "16 bytes of the text left in " << where;
}

#endif

}  // namespace

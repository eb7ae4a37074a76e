// SPDX-License-Identifier: MIT
// `-o FILE` on Windows: the file is replaced whatever its name's length, and keeps
// its access list and whether it is hidden. (A text changed while it is read:
// console_prompt_test.py, where the program waits at its prompt.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "tarnel/process.h"

// Last: its macros would rename the declarations above.
#include <windows.h>
//
#include <aclapi.h>
#include <sddl.h>

namespace tarnel::cli_test {
namespace {

std::wstring wide(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

// The `\\?\` form, which no length limit applies to.
std::string long_form(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return "\\\\?\\" + path;
}

bool is_hidden(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
}

// The file's access list in SDDL, "" when it cannot be read.
std::string access_list(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(wide(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return {};
    char* text = nullptr;
    std::string sddl;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        sddl = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return sddl;
}

// Protected, so that nothing is inherited, and open to everyone: unlike what the
// folder passes on. Wine keeps no more of an access list than the Unix mode bits
// say, and can tell this one (0777) from a new file's.
bool open_to_everyone(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;WD)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return false;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    std::wstring name = wide(path);
    const DWORD set =
        SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, dacl, nullptr);
    LocalFree(descriptor);
    return set == ERROR_SUCCESS;
}

std::string sealed(const std::string& text) {
    return ProcessText("pw", text, ProcessDirection::Seal).text + "\n";
}

enum class Existing { None, Plain, Hidden, OpenToEveryone };

TEST(OutputFile, ReplacesTheFileKeepingItsAccessListAndWhetherItIsHidden) {
    const std::string long_name = std::string(236, 'n') + ".txt";
    const struct {
        std::string name;
        Existing existing;
    } cases[] = {
        {"new.txt", Existing::None},      {"plain.txt", Existing::Plain},
        {"hidden.txt", Existing::Hidden}, {"open.txt", Existing::OpenToEveryone},
        {long_name, Existing::None},      {long_name, Existing::Plain},
    };
    for (const auto& [name, existing] : cases) {
        SCOPED_TRACE(name.substr(0, 20) + " (" + std::to_string(name.size()) + " characters)");
        TempDir dir;
        write_file(dir.path("text"), "Meet me at noon.");
        const std::string target = long_form(dir.path(name));
        std::string kept_access_list;
        if (existing != Existing::None)
            write_file(target, "old content");
        if (existing == Existing::Hidden) {
            ASSERT_TRUE(SetFileAttributesW(wide(target).c_str(), FILE_ATTRIBUTE_HIDDEN));
        }
        if (existing == Existing::OpenToEveryone) {
            ASSERT_TRUE(open_to_everyone(target));
            kept_access_list = access_list(target);
            ASSERT_NE(kept_access_list, access_list(dir.path("text")));
        }

        const RunResult result =
            run_cli({.args = with_password(dir, "pw", {"-o", target, dir.path("text")})});
        EXPECT_EQ(result.exit_status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(read_file(target), sealed("Meet me at noon."));
        // The temporary file went into place; nothing else is left.
        std::vector<std::string> names = {name, "password", "text"};
        std::sort(names.begin(), names.end());
        EXPECT_EQ(dir.names(), names);
        EXPECT_EQ(is_hidden(target), existing == Existing::Hidden);
        if (existing == Existing::OpenToEveryone) {
            EXPECT_EQ(access_list(target), kept_access_list);
        }
    }
}

}  // namespace
}  // namespace tarnel::cli_test

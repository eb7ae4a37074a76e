// SPDX-License-Identifier: MIT
// Texts of every script, pasted or typed into the box: the window seals the bytes
// the engine's text rule makes of them, under the bytes the password stands for,
// and "Process" again shows the text as it was typed, with the box's line breaks.
// Where tarnel-cli is built, the same characters in a UTF-8 file seal to the same
// sealed text there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "app_test_support.h"
#include "program_command.h"
#include "tarnel/codepage.h"
#include "tarnel/process.h"
#include "tarnel/text_rule.h"

namespace tarnel::app::testing {
namespace {

using tarnel::test::Breaks;
using tarnel::test::Script;
using ui::IDOK;
using ui::test::kCtrl;
using ui::test::Key;

#ifdef TARNEL_CLI_PATH
// What tarnel-cli makes by default of `text` in a UTF-8 file, without the line
// break it ends a sealed text with; a note of what failed otherwise.
std::string SealedByCli(const std::string& password, const std::string& text) {
    char dir_template[] = "/tmp/tarnel-window-cli-XXXXXX";
    if (mkdtemp(dir_template) == nullptr)
        return "(no temporary folder)";
    const std::filesystem::path dir(dir_template);
    std::ofstream(dir / "password", std::ios::binary) << password << '\n';
    std::ofstream(dir / "text", std::ios::binary) << text;
    const std::string command = tarnel::test::program_shell_command(TARNEL_CLI_PATH) +
                                " --password-file '" + (dir / "password").string() + "' '" +
                                (dir / "text").string() + "' > '" + (dir / "sealed").string() + "'";
    const int status = std::system(command.c_str());
    std::ifstream file(dir / "sealed", std::ios::binary);
    std::string sealed{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::filesystem::remove_all(dir);
    if (status != 0)
        return "(tarnel-cli failed)";
    if (!sealed.empty() && sealed.back() == '\n')
        sealed.pop_back();
    return sealed;
}
#endif

class ScriptRoundTrip : public MainWindowTest, public ::testing::WithParamInterface<Script> {
  protected:
    /// Types a password of the sample's script and puts `text` in the box by `put`,
    /// then checks both presses of "Process".
    template <class Put>
    void SealAndOpen(uint32_t seed, const std::string& text, Put put) {
        SCOPED_TRACE(::testing::PrintToString(text));
        const std::string password =
            tarnel::test::script_sample(seed + 1000, GetParam(), Breaks::None, 2);
        Focus(IDC_PASSWORD);
        driver().Type(password);
        SetText(IDC_TEXT, "");
        Focus(IDC_TEXT);
        put(text);
        ASSERT_EQ(Text(IDC_TEXT), AsShown(text));

        driver().Click(dialog, IDOK);
        const std::optional<std::string> bytes = text_to_bytes(text);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(Text(IDC_TEXT), ProcessText(password_bytes(password), *bytes).text);
#ifdef TARNEL_CLI_PATH
        EXPECT_EQ(SealedByCli(password, text), Text(IDC_TEXT));
#endif
        driver().Click(dialog, IDOK);
        EXPECT_EQ(Text(IDC_TEXT), AsShown(text));
        SetText(IDC_PASSWORD, "");
    }
};

TEST_P(ScriptRoundTrip, PastedTextsSealByTheRuleAndComeBack) {
#ifdef _WIN32
    // A Windows edit control breaks lines only at the CR LF of a paste.
    constexpr Breaks kBreaks = Breaks::CrLf;
#else
    constexpr Breaks kBreaks = Breaks::Mixed;
#endif
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        const std::string text = tarnel::test::script_sample(seed, GetParam(), kBreaks, 60);
        SealAndOpen(seed, text, [&](const std::string& pasted) {
            driver().SetClipboard(pasted);
            driver().Press(Key::V, kCtrl);
        });
    }
}

TEST_P(ScriptRoundTrip, TypedTextsSealByTheRuleAndComeBack) {
#ifdef _WIN32
    // Every key press is a round trip through Wine's server: type less there.
    constexpr uint32_t kLastSeed = 11;
    constexpr int kWords = 10;
#else
    constexpr uint32_t kLastSeed = 12;
    constexpr int kWords = 25;
#endif
    for (uint32_t seed = 11; seed <= kLastSeed; ++seed) {
        const std::string text = tarnel::test::script_sample(seed, GetParam(), Breaks::Lf, kWords);
        SealAndOpen(seed, text, [&](std::string_view typed) {
            for (std::size_t line_end; (line_end = typed.find('\n')) != std::string_view::npos;) {
                driver().Type(std::string(typed.substr(0, line_end)));
                driver().Press(Key::Enter);
                typed.remove_prefix(line_end + 1);
            }
            driver().Type(std::string(typed));
        });
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptRoundTrip, ::testing::ValuesIn(tarnel::test::kScripts),
                         [](const ::testing::TestParamInfo<Script>& info) {
                             std::string name = tarnel::test::script_name(info.param);
                             std::erase(name, '-');
                             return name;
                         });

}  // namespace
}  // namespace tarnel::app::testing

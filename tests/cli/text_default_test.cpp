// SPDX-License-Identifier: MIT
// tarnel-cli's default: a UTF-8 text in any script, sealed as the text rule's
// bytes and opened back to the text with LF line breaks, whatever the locale; a
// text that is not UTF-8 is refused and pointed to --bytes.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/script_samples.h"
#include "cli_runner.h"
#include "tarnel/codepage.h"
#include "tarnel/process.h"
#include "tarnel/text_rule.h"

namespace tarnel::cli_test {
namespace {

TEST(TextDefault, ScriptSamplesSealAsTheRulesBytesAndOpenBackWithLf) {
    TempDir dir;
    // The program inherits a locale that knows no UTF-8.
    ::setenv("LC_ALL", "C", 1);
    const std::string password = "Passwört";  // sealed as its Windows-1252 bytes
    for (uint32_t seed = 0; seed < 12; ++seed) {
        const std::string text = test::random_sample(seed * 7919 + 1, 120);
        SCOPED_TRACE(text);
        write_file(dir.path("text.txt"), text);
        const std::string expected =
            ProcessText(password_bytes(password), *text_to_bytes(text), ProcessDirection::Seal)
                .text;
        // From the file in pieces and from a pipe.
        for (const bool from_file : {true, false}) {
            std::vector<std::string> args = with_password(dir, password, {});
            if (from_file)
                args.push_back(dir.path("text.txt"));
            const RunResult sealed = run_cli({.args = args, .input = from_file ? "" : text});
            ASSERT_EQ(sealed.exit_status, 0) << sealed.err;
            EXPECT_EQ(sealed.out, expected + "\n");

            write_file(dir.path("sealed"), sealed.out);
            std::vector<std::string> open_args =
                with_password(dir, password, {"-o", dir.path("opened")});
            open_args.push_back(dir.path("sealed"));
            const RunResult opened = run_cli({.args = open_args});
            ASSERT_EQ(opened.exit_status, 0) << opened.err;
            EXPECT_EQ(read_file(dir.path("opened")), test::with_line_breaks(text, "\n"));
        }
    }
}

TEST(TextDefault, ATextThatIsNotUtf8IsRefusedAndBytesSealIt) {
    TempDir dir;
    const std::string latin1 =
        "Gr\xFC\xDF"
        "e aus K\xF6ln\n";
    write_file(dir.path("latin1.txt"), latin1);
    for (const bool from_file : {true, false}) {
        std::vector<std::string> args = with_password(dir, "pw", {"-o", dir.path("out")});
        if (from_file)
            args.push_back(dir.path("latin1.txt"));
        const RunResult refused = run_cli({.args = args, .input = from_file ? "" : latin1});
        EXPECT_EQ(refused.exit_status, 1);
        EXPECT_EQ(refused.err,
                  "tarnel-cli: the text is not valid UTF-8; use --bytes to seal or open its exact "
                  "bytes\n");
        EXPECT_EQ(dir.names(), (std::vector<std::string>{"latin1.txt", "password"}));
    }
    // Sealed by an earlier version, as bytes: it opens to the same bytes with
    // --bytes, and to their Windows-1252 reading without.
    const std::string sealed = ProcessText("pw", latin1, ProcessDirection::Seal).text;
    const RunResult bytes =
        run_cli({.args = with_password(dir, "pw", {"--bytes"}), .input = sealed});
    EXPECT_EQ(bytes.exit_status, 0) << bytes.err;
    EXPECT_EQ(bytes.out,
              "Gr\xFC\xDF"
              "e aus K\xF6ln");
    const RunResult text = run_cli({.args = with_password(dir, "pw", {}), .input = sealed});
    EXPECT_EQ(text.exit_status, 0) << text.err;
    EXPECT_EQ(text.out, "Grüße aus Köln");
}

}  // namespace
}  // namespace tarnel::cli_test

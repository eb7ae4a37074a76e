// SPDX-License-Identifier: MIT
// A program over the tarnel library: seals a note and opens it again.
//
//   seal_a_note        seals a note held in memory, prints the sealed text, opens
//                      it again and checks that the note came back
//   seal_a_note -      seals or opens standard input (UTF-8) to standard output,
//                      as a stream, whatever its size
//
// The password is fixed here to keep the example short; a real program asks for
// it on the terminal and never takes it from the command line.
#include <cstdio>
#include <string>
#include <string_view>

#include "tarnel/tarnel.h"

namespace {

constexpr std::string_view kPassword = "tea for two";

// Keeps the result in memory.
class StringResult final : public tarnel::ProcessSink {
  public:
    ~StringResult() { tarnel::secure_wipe(text); }

    void write(const char* data, std::size_t size) noexcept override {
        try {
            text.append(data, size);
        } catch (...) {  // memory ran out: tell the engine, which stops
            m_failed = true;
        }
    }
    bool failed() const noexcept override { return m_failed; }

    std::string text;

  private:
    bool m_failed = false;
};

// Standard input, read once to its end.
class StandardInput final : public tarnel::StreamSource {
  public:
    std::ptrdiff_t read(char* buffer, std::size_t size) noexcept override {
        const std::size_t got = std::fread(buffer, 1, size, stdin);
        return got == 0 && std::ferror(stdin) ? -1 : std::ptrdiff_t(got);
    }
};

// Standard output, written as the result is made.
class StandardOutput final : public tarnel::ProcessSink {
  public:
    void write(const char* data, std::size_t size) noexcept override {
        m_failed = m_failed || std::fwrite(data, 1, size, stdout) != size;
    }
    bool failed() const noexcept override { return m_failed; }

  private:
    bool m_failed = false;
};

// Says why a process did not end well; returns false then.
bool done(const tarnel::ProcessReport& report) {
    if (report.end == tarnel::ProcessEnd::Done && !report.doubtful())
        return true;
    const std::string_view message = tarnel::process_message(report.end);
    if (report.doubtful())
        std::fprintf(stderr,
                     "seal_a_note: opened, but the password is wrong or the text damaged\n");
    else if (!message.empty())
        std::fprintf(stderr, "seal_a_note: %.*s\n", int(message.size()), message.data());
    else
        std::fprintf(stderr, "seal_a_note: the text was refused (end %d)\n", int(report.end));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Characters in, characters out: the same note seals to the same sealed text
    // in every program that follows the text rule.
    tarnel::ProcessSettings settings;
    settings.form = tarnel::PlainForm::Text;
    settings.line_break = tarnel::LineBreak::Lf;  // rather than the system's, CR LF on Windows
    tarnel::GivenPassword password(kPassword);

    if (argc > 1 && std::string_view(argv[1]) == "-") {
        StandardInput input;
        StandardOutput output;
        const tarnel::ProcessReport report =
            tarnel::ProcessTextFrom(input, password, output, settings);
        if (report.end == tarnel::ProcessEnd::Done && report.sealing)
            std::fputc('\n', stdout);
        return done(report) && std::fflush(stdout) == 0 ? 0 : 1;
    }

    const std::string note = "Grüße aus Köln – the key is under the mat.\nSee you at eight.";
    StringResult sealed;
    if (!done(tarnel::ProcessTextFrom(note, password, sealed, settings)))
        return 1;
    std::printf("%s\n", sealed.text.c_str());

    // The envelope tells the process to open it.
    StringResult opened;
    if (!done(tarnel::ProcessTextFrom(sealed.text, password, opened, settings)))
        return 1;
    std::printf("%s\n", opened.text.c_str());
    return opened.text == note ? 0 : 1;
}

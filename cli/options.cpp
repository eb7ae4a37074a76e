// SPDX-License-Identifier: MIT
#include "options.h"

#include <charconv>
#include <string_view>

namespace tarnel::cli {
namespace {

enum class Id { Seal, Open, Output, PasswordFile, PasswordFd, Bytes, Crlf, Force, Help, Version };

struct OptionKind {
    Id id;
    std::string_view long_name;
    char short_name;  // 0: none
    bool takes_value;
};

constexpr OptionKind kOptions[] = {
    {Id::Seal, "seal", 0, false},
    {Id::Open, "open", 0, false},
    {Id::Output, "output", 'o', true},
    {Id::PasswordFile, "password-file", 0, true},
    {Id::PasswordFd, "password-fd", 0, true},
    {Id::Bytes, "bytes", 0, false},
    {Id::Crlf, "crlf", 0, false},
    {Id::Force, "force", 'f', false},
    {Id::Help, "help", 'h', false},
    {Id::Version, "version", 'V', false},
};

const OptionKind* find_long(std::string_view name) {
    for (const OptionKind& option : kOptions) {
        if (option.long_name == name)
            return &option;
    }
    return nullptr;
}

const OptionKind* find_short(char name) {
    for (const OptionKind& option : kOptions) {
        if (option.short_name != 0 && option.short_name == name)
            return &option;
    }
    return nullptr;
}

bool parse_descriptor(std::string_view text, int& fd) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, fd);
    return error == std::errc() && stop == end && fd >= 0;
}

class Parser {
  public:
    explicit Parser(CommandLine& result) : m_result(result), m_options(result.options) {}

    // Returns false once the command line is settled: an error, --help or --version.
    bool apply(const OptionKind& option, std::string_view shown, std::string_view value) {
        switch (option.id) {
            case Id::Seal:
            case Id::Open:
                if (m_options.direction != ProcessDirection::ByEnvelope) {
                    return fail("--seal and --open exclude each other, and each is given once");
                }
                m_options.direction =
                    option.id == Id::Seal ? ProcessDirection::Seal : ProcessDirection::Open;
                return true;
            case Id::Output:
                if (m_have_output)
                    return fail("only one output file may be given");
                m_have_output = true;
                if (value.empty())
                    return fail("the output file name is empty");
                if (value != "-")
                    m_options.output_path = value;
                return true;
            case Id::PasswordFile:
            case Id::PasswordFd:
                if (m_have_password)
                    return fail("only one password source may be given");
                m_have_password = true;
                if (option.id == Id::PasswordFile) {
                    if (value.empty())
                        return fail("the password file name is empty");
                    m_options.password_file = value;
                } else if (!parse_descriptor(value, m_options.password_fd)) {
                    return fail(std::string(shown) + " needs a descriptor number, not '" +
                                std::string(value) + "'");
                }
                return true;
            case Id::Bytes:
            case Id::Crlf:
                // --crlf is the text form's old name: it already seals CR LF and
                // opens to LF. Exact bytes cannot also have their line breaks changed.
                (option.id == Id::Bytes ? m_options.bytes : m_crlf) = true;
                if (m_options.bytes && m_crlf)
                    return fail("--bytes keeps line breaks as they are; --crlf cannot go with it");
                return true;
            case Id::Force:
                m_options.force = true;
                return true;
            case Id::Help:
                m_result.action = CommandLine::Action::Help;
                return false;
            case Id::Version:
                m_result.action = CommandLine::Action::Version;
                return false;
        }
        return true;
    }

    bool add_input(std::string_view path) {
        if (m_have_input)
            return fail("only one text file may be given");
        m_have_input = true;
        // An empty name would read standard input in its place.
        if (path.empty())
            return fail("the text file name is empty");
        if (path != "-")
            m_options.input_path = path;
        return true;
    }

    bool fail(std::string message) {
        m_result.action = CommandLine::Action::UsageError;
        m_result.error = std::move(message);
        return false;
    }

  private:
    CommandLine& m_result;
    Options& m_options;
    bool m_have_input = false;
    bool m_have_output = false;
    bool m_have_password = false;
    bool m_crlf = false;
};

}  // namespace

CommandLine parse_command_line(int argc, const char* const* argv) {
    CommandLine result;
    Parser parser(result);
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options_ended || arg == "-" || !arg.starts_with('-')) {
            if (!parser.add_input(arg))
                return result;
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }

        // "--name", "--name=value", "--name value", "-x", "-xvalue", "-x value".
        const OptionKind* option = nullptr;
        std::string_view shown;
        std::string_view value;
        bool value_attached = false;
        if (arg.starts_with("--")) {
            const std::size_t equals = arg.find('=');
            shown = arg.substr(0, equals);
            option = find_long(shown.substr(2));
            if (equals != std::string_view::npos) {
                value = arg.substr(equals + 1);
                value_attached = true;
            }
        } else {
            shown = arg.substr(0, 2);
            option = find_short(arg[1]);
            if (arg.size() > 2) {
                value = arg.substr(2);
                value_attached = true;
            }
        }
        if (option == nullptr) {
            parser.fail("unknown option '" + std::string(shown) + "'");
            return result;
        }
        if (!option->takes_value && value_attached) {
            parser.fail("option '" + std::string(shown) + "' takes no value");
            return result;
        }
        if (option->takes_value && !value_attached) {
            if (i + 1 >= argc) {
                parser.fail("option '" + std::string(shown) + "' needs a value");
                return result;
            }
            value = argv[++i];
        }
        if (!parser.apply(*option, shown, value))
            return result;
    }
    return result;
}

}  // namespace tarnel::cli

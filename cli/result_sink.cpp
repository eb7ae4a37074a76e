// SPDX-License-Identifier: MIT
#include "result_sink.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "messages.h"
#include "output.h"
#ifndef _WIN32
#include "output_target.h"
#endif
#include "tarnel/secure_wipe.h"

namespace tarnel::cli {

ResultSink::ResultSink(const Options& options) : m_options(options) {}

ResultSink::~ResultSink() {
    secure_wipe(m_held);
#ifndef _WIN32
    secure_wipe(m_gathered.get(), m_gathered ? kGather : 0);
#endif
}

bool ResultSink::begin(bool sealing) noexcept {
    m_begun = true;
    m_sealing = sealing;
    // An opened text bound for a terminal is looked at whole first. Windows writes
    // a file in one go.
    m_terminal = to_stdout() && ::isatty(STDOUT_FILENO);
    m_hold = !sealing && m_terminal && !m_options.force;
#ifdef _WIN32
    m_hold = m_hold || !to_stdout();
    return true;
#else
    if (to_stdout())
        return true;
    try {
        if (m_file.begin(m_options.output_path,
                         sealing ? ResultText::Sealed : ResultText::Opened)) {
            // -o /dev/tty or /dev/stdout reaches the same terminal.
            m_terminal = m_file.is_terminal();
            m_hold = !sealing && m_terminal && !m_options.force;
            return true;
        }
        report_write_failure(m_file.failure(), m_options.output_path);
    } catch (...) {
        say(Message::NoMemory);
    }
    m_reported = true;
    return false;
#endif
}

void ResultSink::write(const char* data, std::size_t size) noexcept {
    if (size == 0 || failed())
        return;
    if (!m_hold) {
        pass_on(std::string_view(data, size));
        return;
    }
    try {
        if (m_held.size() + size > m_held.capacity()) {
            // Growing leaves the old buffer behind: move it by hand and wipe it.
            std::string larger;
            larger.reserve(2 * (m_held.size() + size));
            larger.assign(m_held);
            secure_wipe(m_held);
            m_held.swap(larger);
        }
        m_held.append(data, size);
    } catch (...) {
        m_error = ENOMEM;
    }
}

void ResultSink::pass_on(std::string_view piece) noexcept {
    if (to_stdout()) {
        m_wrote = true;
        if (m_error == 0)
            m_error = write_all(STDOUT_FILENO, {piece});
        return;
    }
#ifndef _WIN32
    if (!m_gathered)
        m_gathered.reset(new (std::nothrow) char[kGather]);
    if (!m_gathered || piece.size() >= kGather) {
        flush();
        m_file.write(piece);
        return;
    }
    if (m_gathered_size + piece.size() > kGather)
        flush();
    std::memcpy(m_gathered.get() + m_gathered_size, piece.data(), piece.size());
    m_gathered_size += piece.size();
#endif
}

void ResultSink::flush() noexcept {
#ifndef _WIN32
    if (m_gathered_size > 0)
        m_file.write(std::string_view(m_gathered.get(), m_gathered_size));
    m_gathered_size = 0;
#endif
}

bool ResultSink::failed() const noexcept {
#ifndef _WIN32
    if (m_file.failure().failed())
        return true;
#endif
    return m_error != 0;
}

bool ResultSink::discardable() const noexcept {
    if (!m_begun) {
        // A forecast of what begin() makes of the output.
#ifdef _WIN32
        return !to_stdout();
#else
        return !to_stdout() && may_replace_file(m_options.output_path);
#endif
    }
#ifndef _WIN32
    if (!to_stdout())
        return m_file.replaces_file();
#endif
    return m_hold;
}

bool ResultSink::discard() noexcept {
    if (m_hold) {
        secure_wipe(m_held);
        return true;
    }
#ifndef _WIN32
    if (!to_stdout()) {
        m_gathered_size = 0;
        return m_file.restart();
    }
#endif
    return false;
}

bool ResultSink::finish() {
    if (m_sealing)
        write("\n", 1);
    if (m_hold && !failed()) {
        if (m_terminal && has_control_bytes(m_held)) {
            say(Message::ControlCharacters);
            return false;
        }
#ifdef _WIN32
        if (!to_stdout()) {
            const WriteFailure failure =
                write_output(m_options.output_path,
                             m_sealing ? ResultText::Sealed : ResultText::Opened, {m_held});
            if (failure.failed())
                report_write_failure(failure, m_options.output_path);
            return !failure.failed();
        }
#endif
        pass_on(m_held);
    }
    if (to_stdout() || failed()) {
        if (!failed())
            return true;
        report_failure();
        return false;
    }
#ifndef _WIN32
    flush();
    const WriteFailure failure = m_file.commit();
    if (failure.failed())
        report_write_failure(failure, m_options.output_path);
    return !failure.failed();
#else
    return true;
#endif
}

void ResultSink::report_failure() {
    if (!m_reported) {
        m_reported = true;
        // A reader that stopped reading already knows; only the status says it.
        if (m_error == ENOMEM)
            say(Message::TooLarge);
        else if (m_error != 0 && m_error != EPIPE)
            say_error(m_error, Message::CannotWriteStdout);
#ifndef _WIN32
        else if (m_error == 0 && m_file.failure().failed())
            report_write_failure(m_file.failure(), m_options.output_path);
#endif
    }
    abandon();
}

bool ResultSink::abandon() noexcept {
    secure_wipe(m_held);
#ifndef _WIN32
    m_gathered_size = 0;
#endif
#ifndef _WIN32
    if (m_file.abandon())
        return true;
#endif
    return m_wrote;
}

bool has_control_bytes(std::string_view text) noexcept {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F)
            return true;
        // U+0080 to U+009F in UTF-8, where a wrong password's bytes read as
        // Windows-1252 put the five it leaves undefined, and where CSI lies.
        if (byte == 0xC2 && i + 1 < text.size() &&
            (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80)
            return true;
    }
    return false;
}

}  // namespace tarnel::cli

// SPDX-License-Identifier: MIT
#include "result_sink.h"

#include <cerrno>
#include <utility>

#include "messages.h"
#include "tarnel/secure_wipe.h"

namespace tarnel::cli {
namespace {

// True when `text` holds a control character other than TAB, LF and CR (a C0
// byte, DEL, or a C1 control in UTF-8), as a wrong password's bytes nearly always
// do; such characters could also drive a terminal.
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

}  // namespace

bool ResultSink::begin(bool sealing) noexcept {
    m_begun = true;
    m_sealing = sealing;
    bool begun = false;
    try {
        begun =
            m_file.begin(m_options.output_path, sealing ? ResultText::Sealed : ResultText::Opened);
    } catch (...) {
        say(Message::NoMemory);
        m_reported = true;
    }
    if (!begun)
        report_failure();
    // An opened text bound for a terminal, by any name (-o /dev/tty, /dev/stdout),
    // is looked at whole first.
    m_hold = begun && !sealing && !m_options.force && m_file.is_terminal();
    return begun;
}

void ResultSink::write(const char* data, std::size_t size) noexcept {
    const std::string_view piece(data, size);
    if (piece.empty() || failed())
        return;
    // Standard output gets each piece as it comes; a file gets small ones gathered.
    if (!m_hold && m_buffer.size() + size > kGather)
        flush();
    if (!m_hold && (to_stdout() || size >= kGather))
        m_file.write(piece);
    else if (!append_wiped(m_buffer, piece))
        m_error = ENOMEM;
}

void ResultSink::flush() noexcept {
    m_file.write(m_buffer);
    m_buffer.clear();
}

bool ResultSink::discardable() const noexcept {
    // Before begin(), a forecast of what it makes of the output.
    if (!m_begun)
        return !to_stdout() && may_replace_file(m_options.output_path);
    return to_stdout() ? m_hold : m_file.replaces_file();
}

bool ResultSink::discard() noexcept {
    secure_wipe(m_buffer);
    return m_hold || m_file.restart();
}

bool ResultSink::finish() {
    if (m_sealing)
        write("\n", 1);
    if (m_hold && !failed() && has_control_bytes(m_buffer)) {
        say(Message::ControlCharacters);
        return false;
    }
    if (!failed())
        flush();
    if (!failed() && !m_file.commit().failed())
        return true;
    report_failure();
    return false;
}

void ResultSink::report_failure() {
    const WriteFailure& failure = m_file.failure();
    const char* step = failure.step ? failure.step : "cannot write";
    const char* name = to_stdout() ? "standard output" : m_options.output_path.c_str();
    if (!std::exchange(m_reported, true)) {
        if (m_error == ENOMEM)
            say(Message::TooLarge);
        else if (failure.reason)
            say(Message::WriteRefused, step, name, failure.reason);
        // A reader that stopped reading already knows; only the status says it.
        else if (failure.error != 0 && failure.error != EPIPE)
            say_error(failure.error, Message::WriteFailed, step, name);
    }
    abandon();
}

bool ResultSink::abandon() noexcept {
    secure_wipe(m_buffer);
    return m_file.abandon();
}

}  // namespace tarnel::cli

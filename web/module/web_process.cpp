// SPDX-License-Identifier: MIT
// The engine as the web page calls it: the window's "Process" in one call, over
// texts that JavaScript writes into the module's memory as UTF-8.
//
// A call goes:
//   1. tarnel_alloc() a buffer for the password and one for the text, and write
//      their UTF-8 into them;
//   2. tarnel_process() them, which gives what the result is (WebResult);
//   3. read tarnel_result_size() bytes of UTF-8 at tarnel_result_data(): the new
//      text, or the message to show; and tarnel_warning_size() bytes at
//      tarnel_warning_data(): the warning a new text deserves, shown after it
//      (none when the size is 0);
//   4. tarnel_wipe_free() both buffers and tarnel_result_release() the result and
//      its warning.
// The text may be a file's bytes as they are: tarnel_process() applies the text
// rule to them as tarnel-cli does to a file, refusing bytes that are not UTF-8.
// Every buffer that held a password or a text is wiped before it is freed. The
// block cipher is exported too, so that its known-answer vectors can be run
// through the module.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "tarnel/codepage.h"
#include "tarnel/process.h"
#include "tarnel/rijndael.h"
#include "tarnel/secure_wipe.h"
#include "tarnel/text_process.h"

namespace {

using namespace tarnel;

enum WebResult : int {
    kSealed = 0,   ///< the result is the sealed text
    kOpened = 1,   ///< the result is the opened text, with LF line breaks
    kMessage = 2,  ///< the result is a message for the user; the text stays as it was
};

/// Collects the result; memory it leaves behind when it grows is wiped first, as
/// an opened text passes through it.
class ResultSink final : public ProcessSink {
  public:
    void write(const char* data, std::size_t size) noexcept override {
        if (!m_failed && !append_wiped(m_text, std::string_view(data, size)))
            m_failed = true;
    }
    bool failed() const noexcept override { return m_failed; }
    // A result in memory can always be thrown away, so a sealed text is opened in
    // one pass, hoping it opens to UTF-8.
    bool discardable() const noexcept override { return true; }
    bool discard() noexcept override {
        secure_wipe(m_text);
        m_failed = false;
        return true;
    }
    std::string& text() noexcept { return m_text; }

  private:
    std::string m_text;
    bool m_failed = false;
};

std::string* g_result = nullptr;
std::string* g_warning = nullptr;

void release(std::string*& held) noexcept {
    if (held) {
        secure_wipe(*held);
        delete held;
        held = nullptr;
    }
}

void release_result() noexcept {
    release(g_result);
    release(g_warning);
}

// Takes the text of a Done result, and the warning it deserves, as the result;
// false, holding neither, when memory runs out: a doubtful text is never handed
// out without its warning.
bool hold_result(std::string& text, const ProcessReport& report) noexcept {
    std::string warning = warning_message(report);
    const bool warned = report.doubtful();
    if (warned && warning.empty())
        return false;
    g_result = new (std::nothrow) std::string;
    if (warned)
        g_warning = new (std::nothrow) std::string(std::move(warning));
    if (!g_result || (warned && !g_warning)) {
        release_result();
        return false;
    }
    g_result->swap(text);
    return true;
}

// A message is a few bytes, which memory holds once the text's copies are freed;
// should it not, the page says the text is too large.
WebResult set_message(std::string_view message) noexcept {
    release_result();
    try {
        g_result = new std::string(message);
    } catch (const std::exception&) {
        g_result = nullptr;
    }
    return kMessage;
}

}  // namespace

extern "C" {

/// A buffer of `size` bytes (at least one), or null when memory runs out.
unsigned char* tarnel_alloc(std::size_t size) {
    return static_cast<unsigned char*>(std::malloc(size ? size : 1));
}

/// Wipes the first `size` bytes of `buffer` and frees it.
void tarnel_wipe_free(unsigned char* buffer, std::size_t size) {
    if (!buffer)
        return;
    secure_wipe(buffer, size);
    std::free(buffer);
}

/// Seals or opens the text as the window's "Process" does: the password and the
/// text are UTF-8, and the text rule turns them into the bytes that are sealed.
int tarnel_process(const char* password, std::size_t password_size, const char* text,
                   std::size_t text_size) {
    release_result();
    std::string password_bytes_ = password_bytes(std::string_view(password, password_size));
    const ScopedWipe wipe_password(password_bytes_);
    GivenPassword given(password_bytes_);

    ResultSink sink;
    ProcessSettings settings;
    settings.form = PlainForm::Text;
    settings.line_break = LineBreak::Lf;
    const ProcessReport report =
        ProcessTextFrom(std::string_view(text, text_size), given, sink, settings);

    if (report.end == ProcessEnd::Done && hold_result(sink.text(), report))
        return report.sealing ? kSealed : kOpened;
    secure_wipe(sink.text());
    const std::string_view message = process_message(report.end);
    return set_message(message.empty() ? kTooLargeMessage : message);
}

/// 1 when the `size` bytes at `text` are valid UTF-8, as a text must be to be
/// sealed as one: the page shows such a file's text in its box; any other file it
/// holds as bytes, for the engine to judge.
int tarnel_is_text(const char* text, std::size_t size) {
    return is_valid_utf8(std::string_view(text, size)) ? 1 : 0;
}

/// The result of the last tarnel_process(): its UTF-8 and its size in bytes.
const char* tarnel_result_data() {
    return g_result ? g_result->data() : "";
}
std::size_t tarnel_result_size() {
    return g_result ? g_result->size() : 0;
}

/// The warning the result of the last tarnel_process() deserves, in the engine's
/// words (warning_message() in text_process.h): its UTF-8 and its size, 0 for none.
const char* tarnel_warning_data() {
    return g_warning ? g_warning->data() : "";
}
std::size_t tarnel_warning_size() {
    return g_warning ? g_warning->size() : 0;
}

/// Wipes and frees the result and its warning.
void tarnel_result_release() {
    release_result();
}

/// The message for a text that could not be processed at all, for a page whose
/// module stopped: NUL-terminated.
const char* tarnel_too_large_message() {
    return kTooLargeMessage.data();
}

/// A 32-byte block through Rijndael-256 with a 16-, 24- or 32-byte key, `times`
/// times in a row: encrypted, or decrypted when `decrypt` is not 0. Returns 1, or
/// 0 for a key length the cipher refuses.
int tarnel_rijndael_block(const unsigned char* key, std::size_t key_size, int decrypt,
                          unsigned times, const unsigned char* in, unsigned char* out) {
    if (key_size > kRijndaelBlockBytes)
        return 0;
    RijndaelContext context{};
    const unsigned direction = decrypt ? RIJNDAEL_DECRYPT : RIJNDAEL_ENCRYPT;
    if (!rijndael_set_key(key, static_cast<uint32_t>(key_size), direction, &context))
        return 0;
    std::memmove(out, in, kRijndaelBlockBytes);
    for (unsigned i = 0; i < times; ++i) {
        if (decrypt)
            rijndael_decrypt_block(out, out, &context);
        else
            rijndael_encrypt_block(out, out, &context);
    }
    secure_wipe_object(context);
    return 1;
}

}  // extern "C"

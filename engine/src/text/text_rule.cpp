// SPDX-License-Identifier: MIT
#include "tarnel/text_rule.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>

#include "line_marks.h"
#include "tarnel/codepage.h"
#include "tarnel/secure_wipe.h"
#include "text_rule_pieces.h"

namespace tarnel {
namespace {

using detail::Held;

constexpr char32_t kByteOrderMark = 0xFEFF;
constexpr char32_t kLineSeparator = 0x2028;
constexpr char32_t kParagraphSeparator = 0x2029;

const unsigned char* begin_of(std::string_view piece) noexcept {
    return reinterpret_cast<const unsigned char*>(piece.data());
}

const char* chars(const unsigned char* bytes) noexcept {
    return reinterpret_cast<const char*>(bytes);
}

// Scanning a word of eight bytes at a time: most of a text is ASCII without a line
// break, and a loop that tests each byte spends most of its time there.
constexpr uint64_t kOnes = 0x0101010101010101u;
constexpr uint64_t kHighBits = 0x8080808080808080u;

uint64_t load_word(const unsigned char* p) noexcept {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// The top bit of each byte of `word` that is `value`, and no other bit. Exact: no
// carry crosses from one byte into the next.
constexpr uint64_t bytes_equal(uint64_t word, unsigned char value) noexcept {
    const uint64_t x = word ^ (kOnes * value);
    return ~(((x & ~kHighBits) + ~kHighBits) | x | ~kHighBits);
}

// Where the first byte at or after `p` that `stops` marks lies, or, when none does,
// within eight bytes of `end`: the caller's own loop tests what is left byte by
// byte. `stops(word)` sets the top bit of each byte that stops the scan, and no
// bit of the others.
template <class Stops>
const unsigned char* skip_words(const unsigned char* p, const unsigned char* end,
                                Stops stops) noexcept {
    while (end - p >= 16) {
        const uint64_t first = stops(load_word(p));
        const uint64_t second = stops(load_word(p + 8));
        if ((first | second) != 0) {
            if constexpr (std::endian::native == std::endian::little) {
                return first != 0 ? p + std::countr_zero(first) / 8
                                  : p + 8 + std::countr_zero(second) / 8;
            } else {
                return first != 0 ? p : p + 8;
            }
        }
        p += 16;
    }
    if (end - p >= 8 && stops(load_word(p)) == 0)
        p += 8;
    return p;
}

// Stops at a byte of 0x80 or more.
constexpr uint64_t non_ascii(uint64_t word) noexcept {
    return word & kHighBits;
}
// Stops at CR or LF.
constexpr uint64_t line_ends(uint64_t word) noexcept {
    return bytes_equal(word, '\r') | bytes_equal(word, '\n');
}

// Gathers small pieces of output in a local buffer and hands the sink runs of it;
// a long run of input is handed over as it is. Wipes the buffer when done.
class RunWriter {
  public:
    explicit RunWriter(TextSink& sink) noexcept : m_sink(sink) {}
    ~RunWriter() {
        flush();
        secure_wipe(m_buffer, m_high);
    }
    RunWriter(const RunWriter&) = delete;
    RunWriter& operator=(const RunWriter&) = delete;

    void run(const char* data, std::size_t size) noexcept {
        if (size >= kDirect) {
            flush();
            m_sink.write(data, size);
            return;
        }
        if (size > kSize - m_used)
            flush();
        std::memcpy(m_buffer + m_used, data, size);
        m_used += size;
    }
    void byte(unsigned char value) noexcept {
        if (m_used == kSize)
            flush();
        m_buffer[m_used++] = char(value);
    }
    void line_break() noexcept { run("\r\n", 2); }
    void code_point(char32_t value) noexcept {
        if (kSize - m_used < 4)
            flush();
        m_used = std::size_t(put_utf8(value, m_buffer + m_used) - m_buffer);
    }
    /// Room for `size` bytes, to be written and then committed.
    char* room(std::size_t size) noexcept {
        if (kSize - m_used < size)
            flush();
        return m_buffer + m_used;
    }
    /// `size` bytes written in the room, beyond which `touched` bytes were.
    void commit(std::size_t size, std::size_t touched) noexcept {
        m_high = std::max(m_high, m_used + touched);
        m_used += size;
    }

  private:
    static constexpr std::size_t kSize = 16 * 1024;
    static constexpr std::size_t kDirect = 4 * 1024;

    void flush() noexcept {
        if (m_used == 0)
            return;
        m_sink.write(m_buffer, m_used);
        m_high = std::max(m_high, m_used);
        m_used = 0;
    }

    TextSink& m_sink;
    std::size_t m_used = 0;
    std::size_t m_high = 0;  // how much of the buffer has held text
    char m_buffer[kSize];
};

// Counts what a RunWriter would be given.
struct Counter {
    uint64_t& length;
    void run(const char*, std::size_t size) noexcept { length += size; }
    void line_break() noexcept { length += 2; }
};

// What a byte scan still holds once the text has ended.
template <class Out>
void finish_bytes(detail::ByteScan& scan, Out& out) noexcept {
    if (scan.held == Held::EF || scan.held == Held::E2)
        out.run(scan.held == Held::EF ? "\xEF" : "\xE2", 1);
    else if (scan.held == Held::EF_BB || scan.held == Held::E2_80)
        out.run(scan.held == Held::EF_BB ? "\xEF\xBB" : "\xE2\x80", 2);
    scan.held = Held::Nothing;
}

// Reads `b` after the begun byte-order mark or U+2028/9 `scan` holds. False when
// `b` does not carry it on: the held bytes have passed and `b` is to be read afresh.
template <class Out>
bool carry_on(unsigned char b, detail::ByteScan& scan, Out& out) noexcept {
    const Held held = scan.held;
    scan.held = Held::Nothing;
    if (held == Held::Start && b == 0xEF) {
        scan.held = Held::EF;
    } else if (held == Held::EF && b == 0xBB) {
        scan.held = Held::EF_BB;
    } else if (held == Held::EF_BB && b == 0xBF) {
        // A byte-order mark at the start, dropped.
    } else if (held == Held::E2 && b == 0x80) {
        scan.held = Held::E2_80;
    } else if (held == Held::E2_80 && (b == 0xA8 || b == 0xA9)) {
        out.line_break();
    } else {
        scan.held = held;
        finish_bytes(scan, out);
        return false;
    }
    return true;
}

// The text taken as bytes: a leading byte-order mark is dropped, every line break
// becomes CR LF, and every other byte passes as it is, so that a text that is not
// valid UTF-8 keeps its bytes. A mark or U+2028/9 cut by a piece is held as how
// much of it was seen: its bytes are known.
template <class Out>
void scan_bytes(std::string_view piece, detail::ByteScan& scan, Out& out) noexcept {
    const unsigned char* p = begin_of(piece);
    const unsigned char* const end = p + piece.size();
    while (p < end) {
        if (scan.held != Held::Nothing && carry_on(*p, scan, out)) {
            ++p;
            continue;
        }
        const unsigned char* const run = p;
        p = skip_words(p, end,
                       [](uint64_t word) { return line_ends(word) | bytes_equal(word, 0xE2); });
        while (p < end && *p != '\r' && *p != '\n' && *p != 0xE2)
            ++p;
        if (p > run) {
            out.run(chars(run), std::size_t(p - run));
            scan.after_cr = false;
        }
        if (p == end)
            break;
        const unsigned char b = *p++;
        if (b == '\r') {
            out.line_break();
            scan.after_cr = true;
        } else if (b == '\n') {
            if (!scan.after_cr)
                out.line_break();
            scan.after_cr = false;
        } else {
            scan.held = Held::E2;
            scan.after_cr = false;
        }
    }
}

// The text taken as UTF-8 characters, for its Windows-1252 form: a leading
// byte-order mark is dropped, every line break becomes CR LF, and `out` gets runs
// of ASCII, each other character (character(), which may stop the scan by
// returning false), or invalid() for bytes that are not UTF-8 (the same). Returns
// how much of `piece` was read: all of it, or up to where the scan stopped.
template <class Out>
std::size_t scan_chars(std::string_view piece, detail::CharScan& scan, Out& out) noexcept {
    const unsigned char* const begin = begin_of(piece);
    const unsigned char* p = begin;
    const unsigned char* const end = p + piece.size();
    while (p < end) {
        char32_t c;
        if (scan.reader.between_characters()) {
            const unsigned char* const run = p;
            p = skip_words(p, end, [](uint64_t word) { return non_ascii(word) | line_ends(word); });
            while (p < end && *p < 0x80 && *p != '\r' && *p != '\n')
                ++p;
            if (p > run) {
                out.run(chars(run), std::size_t(p - run));
                scan.first = false;
                scan.after_cr = false;
            }
            if (p == end)
                break;
        }
        if (scan.reader.between_characters() && end - p >= 2 && p[0] >= 0xC2 && p[0] <= 0xDF &&
            (p[1] & 0xC0) == 0x80) {
            // Two bytes whole in the piece, as most accented letters are.
            c = char32_t((p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu));
            p += 2;
        } else {
            const Utf8Reader::Step step = scan.reader.feed(*p++);
            if (step == Utf8Reader::Step::NeedMore)
                continue;
            if (step == Utf8Reader::Step::Invalid) {
                scan.reader = Utf8Reader();
                if (!out.invalid())
                    return std::size_t(p - begin);
                continue;
            }
            c = scan.reader.code_point();
        }
        const bool first = scan.first;
        const bool after_cr = scan.after_cr;
        scan.first = false;
        scan.after_cr = c == '\r';
        if (c == '\r' || c == kLineSeparator || c == kParagraphSeparator ||
            (c == '\n' && !after_cr)) {
            out.line_break();
        } else if (c != '\n' && !(first && c == kByteOrderMark) && !out.character(c)) {
            return std::size_t(p - begin);
        }
    }
    return piece.size();
}

// The Windows-1252 byte of `c`, or -1; Latin-1 without a call.
int form_of(char32_t c) noexcept {
    return c >= 0xA0 && c <= 0xFF ? int(c) : windows1252_byte(c);
}

// Writes a Windows-1252 form the survey has found to exist.
struct FormWriter {
    RunWriter& writer;
    void run(const char* data, std::size_t size) noexcept { writer.run(data, size); }
    void line_break() noexcept { writer.line_break(); }
    bool character(char32_t c) noexcept {
        const int form = form_of(c);
        if (form >= 0)
            writer.byte(static_cast<unsigned char>(form));
        return true;
    }
    bool invalid() noexcept { return true; }
};

// The length of the well-formed character of two or three bytes that begins at
// `p`, whole before `end`; 0 for anything else, which the reader then judges. The
// three-byte leads left to the reader are E0 and ED, whose second byte is narrower.
std::size_t whole_character(const unsigned char* p, const unsigned char* end) noexcept {
    const auto continues = [](unsigned char b) { return (b & 0xC0) == 0x80; };
    if (end - p >= 2 && p[0] >= 0xC2 && p[0] <= 0xDF && continues(p[1]))
        return 2;
    if (end - p >= 3 && p[0] >= 0xE1 && p[0] <= 0xEF && p[0] != 0xED && continues(p[1]) &&
        continues(p[2]))
        return 3;
    return 0;
}

void check_utf8(std::string_view piece, detail::Utf8Scan& scan) noexcept {
    if (!scan.valid)
        return;
    const unsigned char* p = begin_of(piece);
    const unsigned char* const end = p + piece.size();
    while (p < end) {
        if (scan.reader.between_characters()) {
            p = skip_words(p, end, non_ascii);
            while (p < end && *p < 0x80)
                ++p;
            // Most non-ASCII characters are whole in the piece, and come in runs.
            for (std::size_t length; (length = whole_character(p, end)) != 0;)
                p += length;
            if (p == end)
                return;
            if (*p < 0x80)
                continue;
        }
        if (scan.reader.feed(*p++) == Utf8Reader::Step::Invalid) {
            scan.valid = false;
            return;
        }
    }
}

// Whole blocks of ASCII. Most of a text is ASCII in lines of some tens of
// characters, where the scans above stop at every line break; marked 64 bytes at a
// time on the vector units, such a block changes only at its line breaks, so what
// the rule makes of it follows from its marks. The scans take what is not ASCII.
constexpr std::size_t kBlock = 64;
constexpr std::size_t kBatch = 16;         // blocks marked at a time
constexpr std::size_t kMaxStretch = 4096;  // the most the scans take at a time

int ones(uint64_t bits) noexcept {  // without a library call on baseline x86-64
    bits -= (bits >> 1) & 0x5555555555555555u;
    bits = (bits & 0x3333333333333333u) + ((bits >> 2) & 0x3333333333333333u);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return int((bits * kOnes) >> 56);
}

// Calls `each(marks, block)` for the whole blocks of `piece` from its start, while
// each returns true and the blocks are ASCII; returns how many bytes they hold.
template <class Each>
std::size_t each_ascii_block(std::string_view piece, Each each) noexcept {
    const unsigned char* const p = begin_of(piece);
    const std::size_t blocks = piece.size() / kBlock;
    LineMarks marks[kBatch];
    // One block first: a text of other scripts rarely has a whole block of ASCII.
    for (std::size_t done = 0; done < blocks;) {
        const std::size_t count = std::min(done == 0 ? 1 : kBatch, blocks - done);
        mark_blocks(p + done * kBlock, count, marks);
        for (std::size_t i = 0; i < count; ++i, ++done) {
            if (marks[i].high != 0 || !each(marks[i], p + done * kBlock))
                return done * kBlock;
        }
    }
    return blocks * kBlock;
}

// The line feeds of a block that follow a CR, and are not line breaks of their own.
uint64_t lf_after_cr(const LineMarks& marks, bool after_cr) noexcept {
    return marks.lf & (marks.cr << 1 | uint64_t(after_cr));
}

// How many bytes the rule makes of ASCII blocks: each CR becomes CR LF, and each LF
// does unless a CR came before it.
struct BlockLength {
    uint64_t& length;
    bool& after_cr;
    bool operator()(const LineMarks& marks, const unsigned char*) noexcept {
        const int added = ones(marks.cr) + ones(marks.lf) - 2 * ones(lf_after_cr(marks, after_cr));
        length += uint64_t(int64_t(kBlock) + added);
        after_cr = (marks.cr >> 63) != 0;
        return true;
    }
};

// Copies `size` bytes of `from` to `to` 16 at a time: reads and writes up to 15
// past the end. Returns the end of what it copied.
char* copy_run(char* to, const unsigned char* from, std::size_t size) noexcept {
    for (std::size_t i = 0; i < size; i += 16)
        std::memcpy(to + i, from + i, 16);
    return to + size;
}

// Writes ASCII blocks as the rule makes them. A run of blocks without a line break
// is handed on whole when one comes; a block with one is written into the writer's
// room, a line at a time.
class BlockWriter {
  public:
    BlockWriter(RunWriter& writer, bool& after_cr) noexcept
        : m_writer(writer), m_after_cr(after_cr) {}
    ~BlockWriter() { secure_wipe(m_block, sizeof m_block); }
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    bool operator()(const LineMarks& marks, const unsigned char* block) noexcept {
        if (m_run == nullptr)
            m_run = block;
        m_run_end = block + kBlock;
        if ((marks.cr | marks.lf) == 0)
            return true;
        m_run_end = block;
        flush();
        std::memcpy(m_block, block, kBlock);  // read past a line's end within the copy
        char* const room = m_writer.room(2 * kBlock + 16);
        char* out = room;
        const uint64_t skipped = lf_after_cr(marks, m_after_cr);
        std::size_t from = 0;
        for (uint64_t breaks = marks.cr | marks.lf; breaks != 0; breaks &= breaks - 1) {
            const int at = std::countr_zero(breaks);
            out = copy_run(out, m_block + from, std::size_t(at) - from);
            if ((skipped >> at & 1) == 0) {
                std::memcpy(out, "\r\n", 2);
                out += 2;
            }
            from = std::size_t(at) + 1;
        }
        out = copy_run(out, m_block + from, kBlock - from);
        m_writer.commit(std::size_t(out - room), std::size_t(out - room) + 16);
        m_after_cr = (marks.cr >> 63) != 0;
        return true;
    }
    /// Hands on the run of blocks without a line break.
    void flush() noexcept {
        if (m_run != nullptr && m_run_end > m_run) {
            m_writer.run(chars(m_run), std::size_t(m_run_end - m_run));
            m_after_cr = false;
        }
        m_run = nullptr;
    }

  private:
    RunWriter& m_writer;
    bool& m_after_cr;
    const unsigned char* m_run = nullptr;  // blocks without a line break, not yet handed on
    const unsigned char* m_run_end = nullptr;
    unsigned char m_block[kBlock + 16] = {};
};

// Feeds `piece` by turns to `blocks` (whole blocks of ASCII from its start; returns
// how many bytes it took) and to `scans` (any stretch). After a stretch that was
// not ASCII the scans take twice as much before the blocks try again.
template <class Blocks, class Scans>
void by_blocks(std::string_view piece, Blocks blocks, Scans scans) noexcept {
    if (text_scan_path() != TextScanPath::Blocks) {
        scans(piece);
        return;
    }
    std::size_t stretch = kBlock;
    while (!piece.empty()) {
        const std::size_t taken = blocks(piece);
        piece.remove_prefix(taken);
        stretch = taken > 0 ? kBlock : std::min(2 * stretch, kMaxStretch);
        const std::string_view part = piece.substr(0, stretch);
        scans(part);
        piece.remove_prefix(part.size());
    }
}

// Output kept in memory, wiped as it grows.
class StringSink final : public TextSink {
  public:
    ~StringSink() { secure_wipe(m_text); }

    bool reserve(std::size_t size) noexcept {
        try {
            m_text.reserve(size);
            return true;
        } catch (const std::bad_alloc&) {
        } catch (const std::length_error&) {
        }
        m_failed = true;
        return false;
    }
    void write(const char* data, std::size_t size) noexcept override {
        if (!m_failed && !append_wiped(m_text, std::string_view(data, size)))
            m_failed = true;
    }
    std::optional<std::string> take() noexcept {
        if (m_failed)
            return std::nullopt;
        return std::optional<std::string>(std::move(m_text));
    }

  private:
    std::string m_text;
    bool m_failed = false;
};

}  // namespace

// --- Text to bytes ---

void TextBytesSurvey::feed(std::string_view piece) noexcept {
    by_blocks(
        piece, [this](std::string_view part) { return feed_blocks(part); },
        [this](std::string_view part) { feed_scans(part); });
}

std::size_t TextBytesSurvey::feed_blocks(std::string_view piece) noexcept {
    const bool form = m_choice.has_form();
    const Utf8Reader& reader = form ? m_chars.reader : m_check.reader;
    if (m_bytes.held != Held::Nothing || !reader.between_characters())
        return 0;
    const uint64_t before = m_byte_length;
    const std::size_t taken = each_ascii_block(piece, BlockLength{m_byte_length, m_bytes.after_cr});
    if (form && taken > 0) {
        m_form_length += m_byte_length - before;  // ASCII is its own form
        m_choice.take_ascii();
        m_chars.first = false;
        m_chars.after_cr = m_bytes.after_cr;
    }
    return taken;
}

void TextBytesSurvey::feed_scans(std::string_view piece) noexcept {
    Counter counter{m_byte_length};
    scan_bytes(piece, m_bytes, counter);
    if (!m_choice.has_form()) {
        check_utf8(piece, m_check);
        return;
    }
    // The form's bytes are read as UTF-8 as they come: a text whose form reads as
    // another text is not written in that form.
    struct Survey {
        TextBytesSurvey& s;
        void run(const char*, std::size_t size) noexcept {
            s.m_form_length += size;
            s.m_choice.take_ascii();
        }
        void line_break() noexcept { run(nullptr, 2); }
        bool character(char32_t c) noexcept {
            ++s.m_form_length;
            return s.m_choice.take(form_of(c));  // without a form, the scan stops
        }
        bool invalid() noexcept {
            s.m_check.valid = false;
            return s.m_choice.take(-1);
        }
    } survey{*this};
    // While every character has a form, the character scan judges UTF-8 too; the
    // check takes over from where it stops.
    const std::size_t read = scan_chars(piece, m_chars, survey);
    if (!m_choice.has_form())
        check_utf8(piece.substr(read), m_check);
}

void TextBytesSurvey::finish() noexcept {
    Counter counter{m_byte_length};
    finish_bytes(m_bytes, counter);
    const Utf8Reader& reader = m_choice.has_form() ? m_chars.reader : m_check.reader;
    m_valid = m_check.valid && reader.between_characters();
    m_windows1252 = m_valid && m_choice.chosen();
}

bool TextBytesSurvey::valid_utf8() const noexcept {
    return m_valid;
}
bool TextBytesSurvey::windows1252() const noexcept {
    return m_windows1252;
}
uint64_t TextBytesSurvey::length() const noexcept {
    return m_windows1252 ? m_form_length : m_byte_length;
}

TextToBytes::TextToBytes(bool windows1252) noexcept : m_windows1252(windows1252) {}

TextToBytes::~TextToBytes() {
    secure_wipe_object(m_chars);
}

void TextToBytes::feed(std::string_view piece, TextSink& out) noexcept {
    RunWriter writer(out);
    const auto blocks = [&](std::string_view part) -> std::size_t {
        const bool clean =
            m_windows1252 ? m_chars.reader.between_characters() : m_bytes.held == Held::Nothing;
        if (!clean)
            return 0;
        bool& after_cr = m_windows1252 ? m_chars.after_cr : m_bytes.after_cr;
        BlockWriter blocks(writer, after_cr);
        const std::size_t taken = each_ascii_block(part, std::ref(blocks));
        blocks.flush();
        if (taken > 0)
            m_chars.first = false;
        return taken;
    };
    const auto scans = [&](std::string_view part) {
        if (m_windows1252) {
            FormWriter form{writer};
            scan_chars(part, m_chars, form);
        } else {
            scan_bytes(part, m_bytes, writer);
        }
    };
    by_blocks(piece, blocks, scans);
}

void TextToBytes::finish(TextSink& out) noexcept {
    RunWriter writer(out);
    if (!m_windows1252)
        finish_bytes(m_bytes, writer);
}

std::optional<std::string> text_to_bytes(std::string_view text) noexcept {
    TextBytesSurvey survey;
    survey.feed(text);
    survey.finish();
    StringSink sink;
    if (!sink.reserve(std::size_t(survey.length())))
        return std::nullopt;
    TextToBytes convert(survey.windows1252());
    convert.feed(text, sink);
    convert.finish(sink);
    return sink.take();
}

// --- Bytes to text ---

void Utf8Check::feed(std::string_view piece) noexcept {
    check_utf8(piece, m_scan);
}

bool Utf8Check::finish() noexcept {
    return m_scan.valid && m_scan.reader.between_characters();
}

BytesToText::BytesToText(bool utf8, LineBreak line_break) noexcept
    : m_utf8(utf8), m_line_break(line_break) {}

void BytesToText::feed(std::string_view piece, TextSink& out) noexcept {
    RunWriter writer(out);
    const unsigned char* p = begin_of(piece);
    const unsigned char* const end = p + piece.size();
    const bool to_lf = m_line_break == LineBreak::Lf;
    if (m_held_cr && p < end) {
        m_held_cr = false;
        if (*p == '\n')
            ++p;
        writer.byte(p > begin_of(piece) ? '\n' : '\r');
    }
    while (p < end) {
        const unsigned char* const run = p;
        if (m_utf8 && to_lf)
            p = skip_words(p, end, [](uint64_t word) { return bytes_equal(word, '\r'); });
        else if (m_utf8)
            p = end;
        else if (to_lf)
            p = skip_words(p, end,
                           [](uint64_t word) { return non_ascii(word) | bytes_equal(word, '\r'); });
        else
            p = skip_words(p, end, non_ascii);
        while (p < end && (*p < 0x80 || m_utf8) && !(to_lf && *p == '\r'))
            ++p;
        if (p > run)
            writer.run(chars(run), std::size_t(p - run));
        if (p == end)
            break;
        const unsigned char b = *p++;
        if (b != '\r') {
            writer.code_point(windows1252_code_point(b));
        } else if (p == end) {
            m_held_cr = true;  // the next piece tells whether it is a CR LF
        } else if (*p == '\n') {
            writer.byte('\n');
            ++p;
        } else {
            writer.byte('\r');
        }
    }
}

void BytesToText::finish(TextSink& out) noexcept {
    if (m_held_cr)
        out.write("\r", 1);
    m_held_cr = false;
}

std::optional<std::string> bytes_to_text(std::string_view bytes, LineBreak line_break) noexcept {
    Utf8Check check;
    check.feed(bytes);
    StringSink sink;
    if (!sink.reserve(bytes.size()))
        return std::nullopt;
    BytesToText convert(check.finish(), line_break);
    convert.feed(bytes, sink);
    convert.finish(sink);
    return sink.take();
}

// --- The password ---

std::string_view password_line(std::string_view typed) noexcept {
    constexpr std::string_view kMarkBytes = "\xEF\xBB\xBF";
    if (typed.starts_with(kMarkBytes))
        typed.remove_prefix(kMarkBytes.size());
    for (std::size_t i = 0; i < typed.size(); ++i) {
        const std::string_view rest = typed.substr(i);
        if (rest[0] == '\r' || rest[0] == '\n' || rest.starts_with("\u2028") ||
            rest.starts_with("\u2029"))
            return typed.substr(0, i);
    }
    return typed;
}

}  // namespace tarnel

// SPDX-License-Identifier: MIT
// A stream is read whole into memory, then processed as a text in memory. It is
// refused as soon as its first bytes decide, so an endless or slow source is not
// waited for when they already tell.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "plain_forms.h"
#include "process_steps.h"
#include "stack_wipe.h"
#include "tarnel/secure_wipe.h"

namespace tarnel {
namespace {

constexpr std::size_t kFirstCapacity = 64 * 1024;

// What a stream's first bytes decide, with the rules the whole text gets: where
// trimming stops, and which way the text goes once its head is known.
class EarlyRefusal {
  public:
    explicit EarlyRefusal(const ProcessSettings& settings) noexcept : m_settings(settings) {}

    // NotSealed, TextNul, or Done to keep reading. `so_far` ends in the run just read,
    // which begins at `run`.
    ProcessEnd look_at(std::string_view so_far, std::size_t run) noexcept {
        if (!m_decided) {
            bool cut = false;
            m_white +=
                trimmed_head(so_far.substr(m_white), m_settings.form, m_white == 0, true, cut);
            const std::string_view head = so_far.substr(m_white, kSealedOpen.size());
            // Two bytes tell, or one that is not the envelope's.
            if (cut || head.empty() || (head.size() == 1 && head == kSealedOpen.substr(0, 1)))
                return ProcessEnd::Done;
            m_decided = true;
            ProcessReport report;
            if (!choose_direction(head == kSealedOpen, m_settings.direction, report))
                return report.end;
            m_sealing = report.sealing;
            run = m_white;  // what came before the head was white space
        }
        // Sealing is certain: a NUL refuses the text wherever it is.
        if (m_sealing && std::memchr(so_far.data() + run, 0, so_far.size() - run) != nullptr)
            return ProcessEnd::TextNul;
        return ProcessEnd::Done;
    }

  private:
    const ProcessSettings& m_settings;
    std::size_t m_white = 0;  // bytes at the start that trimming drops
    bool m_decided = false;
    bool m_sealing = false;
};

// Bytes read so far; every buffer given up is wiped first.
class WholeText {
  public:
    ~WholeText() { secure_wipe(m_data.get(), m_capacity); }

    // Room for at least one more byte, growing by doubling up to `limit` + 1: one
    // byte beyond the limit tells that there is more. The first room is `hint`
    // and one byte, so that the end of a text of that size shows at once.
    bool make_room(uint64_t limit, uint64_t hint) noexcept {
        if (m_size < m_capacity)
            return true;
        const uint64_t most = limit + 1;
        const uint64_t first = hint > 0 && hint < most ? hint + 1 : kFirstCapacity;
        const uint64_t wanted =
            std::min<uint64_t>(m_capacity == 0 ? first : 2 * uint64_t(m_capacity), most);
        if (wanted <= m_capacity || wanted > SIZE_MAX)
            return false;
        std::unique_ptr<char[]> grown(new (std::nothrow) char[std::size_t(wanted)]);
        if (!grown)
            return false;
        if (m_size > 0)
            std::memcpy(grown.get(), m_data.get(), m_size);
        secure_wipe(m_data.get(), m_capacity);
        m_data = std::move(grown);
        m_capacity = std::size_t(wanted);
        return true;
    }

    char* free_room() noexcept { return m_data.get() + m_size; }
    std::size_t free_size() const noexcept { return m_capacity - m_size; }
    void grow(std::size_t more) noexcept { m_size += more; }
    std::string_view view() const noexcept { return {m_data.get(), m_size}; }
    std::size_t size() const noexcept { return m_size; }

  private:
    std::unique_ptr<char[]> m_data;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
};

}  // namespace

ProcessReport ProcessTextFrom(StreamSource& source, PasswordProvider& password, ProcessSink& sink,
                              const ProcessSettings& settings) noexcept {
    const StackWipe wipe_on_return;
    ProcessReport report;
    if (password_refused_first(password, report))
        return report;
    EarlyRefusal watch(settings);
    WholeText text;
    for (;;) {
        if (!text.make_room(settings.stream_limit, source.size_hint())) {
            report.end = text.size() > settings.stream_limit ? ProcessEnd::StreamTooLarge
                                                             : ProcessEnd::TooLarge;
            return report;
        }
        const std::ptrdiff_t got = source.read(text.free_room(), text.free_size());
        if (got < 0) {
            report.end = ProcessEnd::ReadFailed;
            return report;
        }
        if (got == 0)
            break;
        const std::size_t run = text.size();
        text.grow(std::size_t(got));
        if (text.size() > settings.stream_limit) {
            report.end = ProcessEnd::StreamTooLarge;
            return report;
        }
        report.end = watch.look_at(text.view(), run);
        if (report.end != ProcessEnd::Done) {
            report.sealing = report.end == ProcessEnd::TextNul;
            return report;
        }
    }
    return ProcessTextFrom(text.view(), password, sink, settings);
}

}  // namespace tarnel

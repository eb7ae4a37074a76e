// SPDX-License-Identifier: MIT
// A stream is read whole into memory, then processed as a text in memory. It is
// refused as soon as its first bytes decide, so an endless or slow source is not
// waited for when they already tell.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "process_steps.h"
#include "stack_wipe.h"
#include "tarnel/secure_wipe.h"

namespace tarnel {
namespace {

constexpr std::size_t kFirstCapacity = 64 * 1024;

// Watches each run of bytes as it comes in.
class EarlyRefusal {
  public:
    EarlyRefusal(ProcessDirection direction, PlainForm form) noexcept
        : m_direction(direction), m_form(form) {}

    // NotSealed, TextNul, or Done to keep reading.
    ProcessEnd look_at(std::string_view more) noexcept {
        for (std::size_t k = 0; k < more.size() && m_head_size < 2; ++k) {
            if (m_head_size > 0 || !is_format_space(more[k]))
                m_head[m_head_size++] = more[k];
        }
        // In text form a byte-order mark (EF ...) or a line separator (E2 ...) may
        // come before the head, and trimming drops them: such a text is judged whole.
        if (m_form == PlainForm::Text && m_head_size > 0 &&
            (m_head[0] == '\xEF' || m_head[0] == '\xE2'))
            return ProcessEnd::Done;
        // The first two bytes that are not white space tell whether the text could
        // be a sealed one.
        const bool head_known = m_head_size == 2 || (m_head_size == 1 && m_head[0] != '{');
        const bool may_be_sealed = !head_known || std::string_view(m_head, 2) == kSealedOpen;
        if (m_direction == ProcessDirection::Open && !may_be_sealed)
            return ProcessEnd::NotSealed;
        // Sealing is certain: a NUL refuses the text wherever it is, so it is looked
        // for in every run. Earlier runs held only white space and the head.
        const bool sealing = m_direction == ProcessDirection::Seal ||
                             (m_direction == ProcessDirection::ByEnvelope && !may_be_sealed);
        if (sealing && std::memchr(more.data(), 0, more.size()) != nullptr)
            return ProcessEnd::TextNul;
        return ProcessEnd::Done;
    }

  private:
    ProcessDirection m_direction;
    PlainForm m_form;
    char m_head[2] = {};
    int m_head_size = 0;
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
    EarlyRefusal watch(settings.direction, settings.form);
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
        const std::string_view more(text.free_room(), std::size_t(got));
        text.grow(std::size_t(got));
        if (text.size() > settings.stream_limit) {
            report.end = ProcessEnd::StreamTooLarge;
            return report;
        }
        report.end = watch.look_at(more);
        if (report.end != ProcessEnd::Done) {
            report.sealing = report.end == ProcessEnd::TextNul;
            return report;
        }
    }
    return ProcessTextFrom(text.view(), password, sink, settings);
}

}  // namespace tarnel

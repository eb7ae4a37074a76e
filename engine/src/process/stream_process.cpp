// SPDX-License-Identifier: MIT
// A stream is read whole into memory, then processed as a text in memory. It is
// refused as soon as its first bytes decide, so an endless or slow source is not
// waited for when they already tell.
#include <cstring>
#include <string>

#include "plain_forms.h"
#include "process_steps.h"
#include "stack_wipe.h"
#include "tarnel/secure_wipe.h"

namespace tarnel {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

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

}  // namespace

ProcessReport ProcessTextFrom(StreamSource& source, PasswordProvider& password, ProcessSink& sink,
                              const ProcessSettings& settings) noexcept {
    const StackWipe wipe_on_return;
    ProcessReport report;
    if (password_refused_first(password, report))
        return report;
    EarlyRefusal watch(settings);
    // The text grows by append_wiped(), which leaves no copy behind; a likely size
    // is taken at once, with a byte more to show the end.
    std::string text, chunk;
    const ScopedWipe wipe_text(text), wipe_chunk(chunk);
    try {
        const uint64_t hint = source.size_hint();
        if (hint > 0 && hint < settings.stream_limit && hint < text.max_size())
            text.reserve(std::size_t(hint) + 1);
        chunk.resize(kChunk);
    } catch (...) {
        report.end = ProcessEnd::TooLarge;
        return report;
    }
    for (;;) {
        const std::ptrdiff_t got = source.read(chunk.data(), chunk.size());
        if (got < 0) {
            report.end = ProcessEnd::ReadFailed;
            return report;
        }
        if (got == 0)
            break;
        const std::size_t run = text.size();
        if (uint64_t(got) > settings.stream_limit - run) {
            report.end = ProcessEnd::StreamTooLarge;
            return report;
        }
        if (!append_wiped(text, std::string_view(chunk.data(), std::size_t(got)))) {
            report.end = ProcessEnd::TooLarge;
            return report;
        }
        report.end = watch.look_at(text, run);
        if (report.end != ProcessEnd::Done) {
            report.sealing = report.end == ProcessEnd::TextNul;
            return report;
        }
    }
    return ProcessTextFrom(std::string_view(text), password, sink, settings);
}

}  // namespace tarnel

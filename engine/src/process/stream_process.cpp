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

ProcessReport ProcessTextFrom(StreamSource& source, PasswordProvider& password, ProcessSink& sink,
                              const ProcessSettings& settings) noexcept {
    const StackWipe wipe_on_return;
    ProcessReport report;
    if (password_refused_first(password, report))
        return report;
    // The text grows by append_wiped(), which leaves no copy behind; a likely size
    // is taken at once, with a byte more to show the end.
    std::string text, chunk;
    const ScopedWipe wipe_text(text), wipe_chunk(chunk);
    std::size_t white = 0;  // bytes at the start that trimming drops
    bool decided = false;
    try {
        const uint64_t hint = source.size_hint();
        if (hint > 0 && hint < settings.stream_limit && hint < text.max_size())
            text.reserve(std::size_t(hint) + 1);
        chunk.resize(64 * 1024);
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
        // The first bytes decide, by the rules the whole text gets: where trimming
        // stops, then which way the text goes once two bytes of its head are known,
        // or one that is not the envelope's.
        std::size_t from = run;
        if (!decided) {
            bool cut = false;
            white += trimmed_head(std::string_view(text).substr(white), settings.form, white == 0,
                                  true, cut);
            const std::string_view head = std::string_view(text).substr(white, kSealedOpen.size());
            decided = !cut && !head.empty() && head != kSealedOpen.substr(0, 1);
            if (decided && !choose_direction(head == kSealedOpen, settings.direction, report))
                return report;
            from = white;  // what came before the head was white space
        }
        // Once sealing is certain, a NUL refuses the text wherever it is.
        if (decided && report.sealing &&
            std::memchr(text.data() + from, 0, text.size() - from) != nullptr) {
            report.end = ProcessEnd::TextNul;
            return report;
        }
    }
    return ProcessTextFrom(std::string_view(text), password, sink, settings);
}

}  // namespace tarnel

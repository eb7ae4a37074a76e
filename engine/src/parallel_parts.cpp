// SPDX-License-Identifier: MIT
#include "parallel_parts.h"

#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>

#include "test_hooks.h"

#if defined(__linux__)
#include <sched.h>
#endif

namespace tarnel {
namespace {

// Tests change these; a mutex keeps a settings record whole.
std::mutex g_settings_mutex;
ParallelSettings g_settings;

unsigned parts_under(std::size_t blocks, const ParallelSettings& settings) noexcept {
    if (blocks < 2 || blocks < settings.threshold_blocks)
        return 1;
    std::size_t parts = settings.parts != 0 ? settings.parts : usable_cpus();
    if (parts > kMaxParts)
        parts = kMaxParts;
    return unsigned(parts < blocks ? parts : blocks);
}

}  // namespace

ParallelSettings parallel_settings() noexcept {
    const std::lock_guard<std::mutex> lock(g_settings_mutex);
    return g_settings;
}

void set_parallel_settings(const ParallelSettings& settings) noexcept {
    const std::lock_guard<std::mutex> lock(g_settings_mutex);
    g_settings = settings;
}

void reset_parallel_settings() noexcept {
    set_parallel_settings(ParallelSettings{});
}

unsigned usable_cpus() noexcept {
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        return count > 0 ? unsigned(count) : 1u;
    }
    return 1;
#else
    // Elsewhere the standard count stands in for the affinity mask.
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? count : 1u;
#endif
}

unsigned part_count(std::size_t blocks) noexcept {
    return parts_under(blocks, parallel_settings());
}

void run_in_parts(std::size_t blocks, PartFunction part, void* context) noexcept {
    const ParallelSettings settings = parallel_settings();
    const unsigned parts = parts_under(blocks, settings);
    auto first_of = [&](unsigned p) {
        return blocks / parts * p + (p < blocks % parts ? p : blocks % parts);
    };
    if (parts == 1) {
        part(context, 0, blocks);
        return;
    }
    std::thread workers[kMaxParts];
    unsigned started = 1;
    for (; started < parts; ++started) {
        const std::size_t first = first_of(started);
        const std::size_t count = first_of(started + 1) - first;
        try {
            if (settings.refuse_threads)
                throw std::system_error(
                    std::make_error_code(std::errc::resource_unavailable_try_again));
            workers[started] = std::thread([=]() noexcept {
                hand_over(HandOver::PartStarted);
                part(context, first, count);
            });
        } catch (...) {
            break;  // no more threads: the caller does the rest
        }
    }
    part(context, 0, first_of(1));
    if (started < parts)
        part(context, first_of(started), blocks - first_of(started));
    hand_over(HandOver::PartsJoining);
    for (unsigned p = 1; p < started; ++p) {
        try {
            workers[p].join();
        } catch (const std::system_error&) {
            // Only a thread that is not joinable fails to join, and each one here is.
        }
    }
}

}  // namespace tarnel

// SPDX-License-Identifier: MIT
// Splitting the blocks of a large text across the CPUs this process may use.
// Blocks are independent, so each part is worked on its own and the output is the
// same whatever the split.
#pragma once

#include <cstddef>

namespace tarnel {

/// How texts are split. The defaults suit the shipped programs; tests change them
/// to cross part boundaries in small texts and to take the one-thread fallback.
struct ParallelSettings {
    std::size_t threshold_blocks = 32 * 1024;  ///< below this many blocks (1 MiB), one thread
    unsigned parts = 0;                        ///< parts for a large text; 0: one per usable CPU
    bool refuse_threads = false;               ///< act as if no thread could be started
};

ParallelSettings parallel_settings() noexcept;
void set_parallel_settings(const ParallelSettings& settings) noexcept;
void reset_parallel_settings() noexcept;

/// CPUs in this process's affinity mask, which a container or taskset may have
/// narrowed below what the machine has; at least 1.
unsigned usable_cpus() noexcept;

/// The most parts a text is ever split into.
inline constexpr unsigned kMaxParts = 64;

/// How many parts run_in_parts() would split `blocks` blocks into now.
unsigned part_count(std::size_t blocks) noexcept;

/// Calls part(first, count) for consecutive parts that together cover blocks
/// [0, blocks), each part on a thread of its own and the first on the caller's.
/// When a thread cannot be started, the caller works that part and every later one
/// itself. `part` must not throw. Returns when every part is done.
using PartFunction = void (*)(void* context, std::size_t first, std::size_t count) noexcept;
void run_in_parts(std::size_t blocks, PartFunction part, void* context) noexcept;

template <class F>
void for_each_part(std::size_t blocks, F& part) noexcept {
    run_in_parts(
        blocks,
        [](void* context, std::size_t first, std::size_t count) noexcept {
            (*static_cast<F*>(context))(first, count);
        },
        &part);
}

}  // namespace tarnel

// SPDX-License-Identifier: MIT
// Running the work of a large text on every CPU this process may use. This is the
// one place that starts threads; every parallel path of the engine is a run of
// units handed out from one counter, narrowed by two optional roles:
//  - grow: the memory under the units is made usable while they are worked. Sizing a
//    result string fills it with zeros, and for many megabytes that fill and the
//    kernel clearing the fresh pages cost as much as the cipher; done on the
//    caller's thread between units, they overlap the other CPUs' work.
//  - consume: each unit is made in a buffer of the runner's and the caller takes
//    the units in order, for a sink that takes output only piece by piece.
// Beside the runs, a side job does one task on a thread of its own while the
// caller goes on: reading a file's next piece while this one is worked.
#pragma once

#include <algorithm>
#include <cstddef>
#include <thread>
#include <type_traits>

namespace tarnel {

/// How texts are split. The defaults suit the shipped programs; tests change them
/// to cross unit boundaries in small texts and to take the one-thread fallback.
struct ParallelSettings {
    std::size_t threshold_blocks = 32 * 1024;  ///< below this many blocks (1 MiB), one thread
    unsigned parts = 0;                        ///< threads for a large text; 0: one per usable CPU
    bool refuse_threads = false;               ///< act as if no thread could be started
};

ParallelSettings parallel_settings() noexcept;
void set_parallel_settings(const ParallelSettings& settings) noexcept;
void reset_parallel_settings() noexcept;

/// CPUs in this process's affinity mask, which a container or taskset may have
/// narrowed below what the machine has; at least 1.
unsigned usable_cpus() noexcept;

/// The most threads a text ever runs on, the caller's included.
inline constexpr unsigned kMaxThreads = 64;

/// Bytes of the buffer a consumed unit is made in.
inline constexpr std::size_t kUnitBufferBytes = 32 * 1024;

/// Threads a run of `units` units over `blocks` blocks would use now, the caller's
/// included: one below the threshold, else one per usable CPU, at most one per unit.
unsigned thread_count(std::size_t blocks, std::size_t units) noexcept;

/// One run. work(unit, buffer) is called once for each unit in [0, units), on the
/// caller's thread and on the helpers, and returns the bytes it made in `buffer`
/// (kUnitBufferBytes; nullptr without consume). With grow, the caller's thread
/// calls grow(upto), `upto` increasing up to `units`, between units, and a unit is
/// worked only once grow has covered it. With consume, the caller's thread calls
/// consume(buffer, size) for each unit in order, once it is made; while helpers
/// make units, the caller only consumes. When a thread or a buffer cannot be had,
/// the caller does the rest itself. No function may throw; buffers are wiped.
/// Returns when every unit is done (and consumed) and grow reached `units`.
struct Run {
    std::size_t units = 0;
    std::size_t blocks = 0;  ///< what the units hold, measured against the threshold
    void* context = nullptr;
    std::size_t (*work)(void* context, std::size_t unit, unsigned char* buffer) noexcept = nullptr;
    void (*grow)(void* context, std::size_t upto) noexcept = nullptr;
    void (*consume)(void* context, unsigned char* buffer, std::size_t size) noexcept = nullptr;
};
void run(const Run& run) noexcept;

/// Stands for a role a run does not have.
struct NoRole {};

/// run() over callables; pass NoRole for grow or consume where the run has none.
template <class Work, class Grow = NoRole, class Consume = NoRole>
void run_units(std::size_t units, std::size_t blocks, Work& work, Grow& grow,
               Consume& consume) noexcept {
    struct Roles {
        Work& work;
        Grow& grow;
        Consume& consume;
    } roles{work, grow, consume};
    Run r{units, blocks, &roles};
    r.work = [](void* c, std::size_t unit, unsigned char* buffer) noexcept -> std::size_t {
        return static_cast<Roles*>(c)->work(unit, buffer);
    };
    if constexpr (!std::is_same_v<Grow, NoRole>)
        r.grow = [](void* c, std::size_t upto) noexcept { static_cast<Roles*>(c)->grow(upto); };
    if constexpr (!std::is_same_v<Consume, NoRole>) {
        r.consume = [](void* c, unsigned char* buffer, std::size_t size) noexcept {
            static_cast<Roles*>(c)->consume(buffer, size);
        };
    }
    run(r);
}

/// A thread the engine keeps for its runs and side jobs (parallel_runner.cpp).
class KeptThread;

/// One job done on a thread of its own while the caller goes on, as reading the
/// next piece of a file while the caller works on this one. Where no thread can be
/// had, start() does the job itself before it returns. wait() returns once the job
/// is done, and what it wrote may then be read; the destructor waits too.
class SideJob {
  public:
    SideJob() noexcept = default;
    ~SideJob() { wait(); }
    SideJob(const SideJob&) = delete;
    SideJob& operator=(const SideJob&) = delete;

    /// Starts job(context); a job already started is waited for first.
    void start(void (*job)(void* context) noexcept, void* context) noexcept;
    void wait() noexcept;
    /// Started and not yet waited for.
    bool pending() const noexcept { return m_pending; }

  private:
    KeptThread* m_thread = nullptr;  ///< the thread it runs on, if any
    void (*m_job)(void* context) noexcept = nullptr;
    void* m_context = nullptr;
    bool m_pending = false;
};

/// Calls part(first, count) for consecutive parts that together cover blocks
/// [0, blocks), one part per thread_count(blocks, blocks).
template <class Part>
void for_each_part(std::size_t blocks, Part& part) noexcept {
    const std::size_t parts = thread_count(blocks, blocks);
    auto first = [&](std::size_t p) { return blocks / parts * p + std::min(p, blocks % parts); };
    auto work = [&](std::size_t p, unsigned char*) noexcept {
        part(first(p), first(p + 1) - first(p));
        return std::size_t(0);
    };
    NoRole none;
    run_units(parts, blocks, work, none, none);
}

}  // namespace tarnel

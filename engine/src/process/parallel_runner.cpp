// SPDX-License-Identifier: MIT
#include "parallel_runner.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

#include "stack_wipe.h"
#include "tarnel/secure_wipe.h"
#include "test_hooks.h"

#if defined(__linux__)
#include <sched.h>
#endif

namespace tarnel {

// Threads are started once and kept: a thread started for each run of each piece
// of a file cost its creation and, when it ended, the kernel's release of its
// stack, about a tenth of opening a large file. A kept thread sleeps until it is
// given a task, runs it, says so, and sleeps again; whoever gave it the task waits
// for that, then hands the thread back. The threads are never ended: nothing of a
// text stays on their stacks (each task wipes below its frame), and a process may
// end while they sleep.
class KeptThread {
  public:
    // A thread kept from an earlier task, else a new one; nullptr when none can be had.
    static KeptThread* take() noexcept {
        {
            const std::lock_guard<std::mutex> lock(s_mutex);
            if (KeptThread* const kept = s_idle) {
                s_idle = kept->m_next_idle;
                return kept;
            }
        }
        auto* fresh = new (std::nothrow) KeptThread;
        if (fresh == nullptr)
            return nullptr;
        try {
            std::thread(&KeptThread::serve, fresh).detach();
        } catch (...) {
            delete fresh;
            return nullptr;
        }
        return fresh;
    }

    void start(void (*task)(void* context) noexcept, void* context) noexcept {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_task = task;
            m_context = context;
            m_finished = false;
        }
        m_changed.notify_all();
    }

    // Waits for the task to finish, then keeps the thread for the next one.
    void finish() noexcept {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [&] { return m_finished; });
        }
        const std::lock_guard<std::mutex> lock(s_mutex);
        m_next_idle = s_idle;
        s_idle = this;
    }

  private:
    void serve() noexcept {
        for (;;) {
            void (*task)(void* context) noexcept = nullptr;
            void* context = nullptr;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [&] { return m_task != nullptr; });
                task = std::exchange(m_task, nullptr);
                context = m_context;
            }
            hand_over(HandOver::TaskTaken);
            task(context);
            hand_over(HandOver::TaskFinished);
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_finished = true;
            }
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    void (*m_task)(void* context) noexcept = nullptr;  // guarded by m_mutex
    void* m_context = nullptr;                         // guarded by m_mutex
    bool m_finished = false;                           // guarded by m_mutex
    KeptThread* m_next_idle = nullptr;                 // guarded by s_mutex

    static std::mutex s_mutex;
    static KeptThread* s_idle;  // threads waiting for a task, guarded by s_mutex
};

std::mutex KeptThread::s_mutex;
KeptThread* KeptThread::s_idle = nullptr;

namespace {

// Tests change these; a mutex keeps a settings record whole.
std::mutex g_settings_mutex;
ParallelSettings g_settings;

// Units the caller makes usable at a time, between units of its own work: enough
// that the helpers seldom catch up with the usable memory.
constexpr std::size_t kGrowStep = 64;

// Unit u is worked once u < usable and, when units are consumed, once its buffer
// (u % slots) is free: u < consumed + slots. Its buffer's `made` is u + 1 once it
// is made. A unit is large, so a mutex and a condition variable cost nothing
// measurable; std::atomic::wait lost wake-ups on the Windows runtime.
struct Shared {
    explicit Shared(const Run& run_) : run(run_) {}

    const Run& run;
    std::size_t slots = 0;  // buffers; 0 when nothing is consumed
    unsigned char* buffers = nullptr;
    std::unique_ptr<std::size_t[]> made, size;
    std::atomic<std::size_t> next{0};  // the next unit to take
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t usable = 0;    // guarded by mutex
    std::size_t consumed = 0;  // guarded by mutex

    bool workable(std::size_t u) const {
        return u < usable && (slots == 0 || u < consumed + slots);
    }
    unsigned char* buffer(std::size_t u) const {
        return slots ? buffers + u % slots * kUnitBufferBytes : nullptr;
    }
    template <class F>
    void publish(F change) {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            change();
        }
        changed.notify_all();
    }
};

// A helper that outruns the growing memory or the consumer waits, on a CPU that
// has nothing else of this text to do.
void help(void* context) noexcept {
    Shared* const s = static_cast<Shared*>(context);
    const StackWipe wipe_on_return;
    hand_over(HandOver::HelperStarted);
    for (;;) {
        const std::size_t u = s->next.fetch_add(1, std::memory_order_relaxed);
        if (u >= s->run.units)
            return;
        hand_over(HandOver::UnitTaken);
        {
            std::unique_lock<std::mutex> lock(s->mutex);
            s->changed.wait(lock, [&] { return s->workable(u); });
        }
        hand_over(HandOver::UnitWorkable);
        const std::size_t made = s->run.work(s->run.context, u, s->buffer(u));
        hand_over(HandOver::UnitDone);
        if (s->slots != 0)
            s->publish([&] {
                s->size[u % s->slots] = made;
                s->made[u % s->slots] = u + 1;
            });
    }
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

unsigned thread_count(std::size_t blocks, std::size_t units) noexcept {
#ifdef TARNEL_NO_THREADS
    (void)blocks;
    (void)units;
    return 1;  // a build without threads, such as WebAssembly's
#else
    const ParallelSettings settings = parallel_settings();
    if (blocks < 2 || blocks < settings.threshold_blocks || units < 2)
        return 1;
    const std::size_t threads = settings.parts != 0 ? settings.parts : usable_cpus();
    return unsigned(std::min<std::size_t>({threads, kMaxThreads, units}));
#endif
}

void SideJob::start(void (*job)(void* context) noexcept, void* context) noexcept {
    wait();
    m_pending = true;
#ifdef TARNEL_NO_THREADS
    constexpr bool kThreads = false;
#else
    constexpr bool kThreads = true;
#endif
    m_job = job;
    m_context = context;
    if (kThreads && !parallel_settings().refuse_threads) {
        m_thread = KeptThread::take();
        if (m_thread != nullptr) {
            m_thread->start(
                [](void* side) noexcept {
                    const StackWipe wipe_on_return;
                    auto* self = static_cast<SideJob*>(side);
                    hand_over(HandOver::SideJobStarted);
                    self->m_job(self->m_context);
                    hand_over(HandOver::SideJobDone);
                },
                this);
            return;
        }
    }
    job(context);  // no thread: the caller does the job now
}

void SideJob::wait() noexcept {
    if (!m_pending)
        return;
    m_pending = false;
    if (m_thread == nullptr)
        return;
    hand_over(HandOver::SideJobAwaited);
    std::exchange(m_thread, nullptr)->finish();
}

void run(const Run& run) noexcept {
    Shared s(run);
    unsigned wanted =
        parallel_settings().refuse_threads ? 0 : thread_count(run.blocks, run.units) - 1;
    // Two buffers per helper: each can make its next unit while the caller consumes.
    std::unique_ptr<unsigned char[]> buffers;
    alignas(64) unsigned char alone[kUnitBufferBytes];
    if (run.consume != nullptr && wanted != 0) {
        s.slots = 2 * std::size_t(wanted) + 2;
        buffers.reset(new (std::nothrow) unsigned char[s.slots * kUnitBufferBytes]);
        s.made.reset(new (std::nothrow) std::size_t[s.slots]());
        s.size.reset(new (std::nothrow) std::size_t[s.slots]());
        s.buffers = buffers.get();
        if (!buffers || !s.made || !s.size)
            wanted = 0;
    }
    if (run.consume != nullptr && wanted == 0) {
        s.slots = 1;
        s.buffers = alone;
    }
    s.usable = run.grow != nullptr ? 0 : run.units;
    KeptThread* helpers[kMaxThreads];
    unsigned started = 0;
    // Fewer helpers, or none, where threads cannot be had: the caller takes what
    // they leave.
    for (; started < wanted && (helpers[started] = KeptThread::take()) != nullptr; ++started)
        helpers[started]->start(help, &s);
    std::size_t grown = s.usable, consumed = 0, used = 0;
    auto grow_to = [&](std::size_t upto) {
        run.grow(run.context, upto);
        grown = upto;
        s.publish([&] { s.usable = upto; });
        hand_over(HandOver::OutputGrown);
    };
    for (;;) {
        // A step ahead, so the helpers rarely wait for memory.
        if (grown < run.units)
            grow_to(std::min(run.units, grown + kGrowStep));
        if (run.consume != nullptr && started != 0) {
            if (consumed == run.units)
                break;
            const std::size_t slot = consumed % s.slots;
            std::size_t size = 0;
            hand_over(HandOver::UnitAwaited);
            {
                std::unique_lock<std::mutex> lock(s.mutex);
                s.changed.wait(lock, [&] { return s.made[slot] == consumed + 1; });
                size = s.size[slot];
            }
            run.consume(run.context, s.buffer(consumed), size);
            hand_over(HandOver::UnitConsumed);
            s.publish([&] { s.consumed = ++consumed; });
            continue;
        }
        const std::size_t u = s.next.fetch_add(1, std::memory_order_relaxed);
        if (u >= run.units)
            break;
        hand_over(HandOver::UnitTaken);
        // Had this thread stalled after growing, the helpers may have taken every
        // usable unit and more, and this one lies beyond: growing later would
        // refill it. It is worked only once the memory under it is usable.
        while (grown <= u)
            grow_to(std::min(run.units, grown + kGrowStep));
        const std::size_t size = run.work(run.context, u, s.buffer(u));
        if (run.consume != nullptr) {
            used = std::max(used, size);
            run.consume(run.context, s.buffer(u), size);
        }
        hand_over(HandOver::UnitDone);
    }
    // Helpers may hold units beyond what has grown so far.
    if (grown < run.units)
        grow_to(run.units);
    hand_over(HandOver::Joining);
    for (unsigned h = 0; h < started; ++h)
        helpers[h]->finish();
    // Buffers may hold plain text; a small text need not pay for wiping them whole.
    if (s.buffers == alone)
        secure_wipe(alone, used);
    else if (s.buffers != nullptr)
        secure_wipe(s.buffers, s.slots * kUnitBufferBytes);
}

}  // namespace tarnel

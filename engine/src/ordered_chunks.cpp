// SPDX-License-Identifier: MIT
#include "ordered_chunks.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "parallel_parts.h"
#include "tarnel/secure_wipe.h"
#include "test_hooks.h"

namespace tarnel {
namespace {

constexpr unsigned kMaxWorkers = 63;

// Chunk c is made in slot c % slots. A slot's `ready` holds c + 1 once chunk c is
// in it; a worker takes chunk c only after chunk c - slots has been consumed.
// A chunk is large, so a mutex and condition variables cost nothing measurable;
// std::atomic::wait lost wake-ups on the Windows runtime, where it has no futex.
struct Slot {
    std::size_t ready = 0;  // guarded by Ring::mutex
    std::size_t size = 0;
    unsigned char* buffer = nullptr;
};

struct Ring {
    Ring(std::size_t chunks_, std::size_t slots_, Slot* slot_, MakeChunk make_, void* context_)
        : chunks(chunks_), slots(slots_), slot(slot_), make(make_), context(context_) {}

    std::size_t chunks;
    std::size_t slots;
    Slot* slot;
    MakeChunk make;
    void* context;
    std::atomic<std::size_t> next{0};  // the next chunk a worker takes
    std::mutex mutex;
    std::condition_variable made;   // a slot became ready
    std::condition_variable taken;  // the caller consumed a chunk
    std::size_t consumed = 0;       // chunks the caller has appended
};

void work(Ring* ring) noexcept {
    for (;;) {
        const std::size_t c = ring->next.fetch_add(1, std::memory_order_relaxed);
        if (c >= ring->chunks)
            return;
        hand_over(HandOver::ChunkTaken);
        Slot& slot = ring->slot[c % ring->slots];
        {
            // Wait until the caller has taken the chunk that held this slot before.
            std::unique_lock<std::mutex> lock(ring->mutex);
            ring->taken.wait(lock, [&] { return c < ring->consumed + ring->slots; });
        }
        hand_over(HandOver::SlotFree);
        const std::size_t size = ring->make(ring->context, c, slot.buffer);
        hand_over(HandOver::ChunkMade);
        {
            const std::lock_guard<std::mutex> lock(ring->mutex);
            slot.size = size;
            slot.ready = c + 1;
        }
        ring->made.notify_all();
    }
}

void run_alone(std::size_t chunks, MakeChunk make, ConsumeChunk consume, void* context) noexcept {
    alignas(64) unsigned char buffer[kOrderedChunkBytes];
    std::size_t used = 0;  // a small text need not pay for wiping the whole buffer
    for (std::size_t c = 0; c < chunks; ++c) {
        const std::size_t size = make(context, c, buffer);
        used = size > used ? size : used;
        consume(context, buffer, size);
    }
    secure_wipe(buffer, used);
}

unsigned worker_count(std::size_t chunks, bool parallel) noexcept {
    const ParallelSettings settings = parallel_settings();
    const std::size_t blocks = chunks * (kOrderedChunkBytes / 64);
    if (!parallel || chunks < 2 || blocks < settings.threshold_blocks)
        return 0;
    // The caller's thread appends; the other CPUs make chunks.
    const unsigned parts = settings.parts != 0 ? settings.parts : usable_cpus();
    const unsigned workers = parts > 1 ? parts - 1 : 0;
    return workers < kMaxWorkers ? workers : kMaxWorkers;
}

}  // namespace

void run_ordered_chunks(std::size_t chunks, bool parallel, MakeChunk make, ConsumeChunk consume,
                        void* context) noexcept {
    const unsigned wanted = worker_count(chunks, parallel);
    if (wanted == 0) {
        run_alone(chunks, make, consume, context);
        return;
    }
    // Two slots per worker: each can make its next chunk while the caller appends.
    const std::size_t slots = 2 * std::size_t(wanted) + 2;
    const std::unique_ptr<unsigned char[]> buffers(
        new (std::nothrow) unsigned char[slots * kOrderedChunkBytes]);
    const std::unique_ptr<Slot[]> slot(new (std::nothrow) Slot[slots]);
    if (!buffers || !slot) {
        run_alone(chunks, make, consume, context);
        return;
    }
    for (std::size_t s = 0; s < slots; ++s)
        slot[s].buffer = buffers.get() + s * kOrderedChunkBytes;
    Ring ring(chunks, slots, slot.get(), make, context);

    std::thread workers[kMaxWorkers];
    unsigned started = 0;
    const bool refuse = parallel_settings().refuse_threads;
    for (; started < wanted && !refuse; ++started) {
        try {
            workers[started] = std::thread(work, &ring);
        } catch (...) {
            break;
        }
    }
    if (started == 0) {
        run_alone(chunks, make, consume, context);
    } else {
        for (std::size_t c = 0; c < chunks; ++c) {
            Slot& s = slot[c % slots];
            std::size_t size = 0;
            hand_over(HandOver::ChunkAwaited);
            {
                std::unique_lock<std::mutex> lock(ring.mutex);
                ring.made.wait(lock, [&] { return s.ready == c + 1; });
                size = s.size;
            }
            consume(context, s.buffer, size);
            hand_over(HandOver::ChunkConsumed);
            {
                const std::lock_guard<std::mutex> lock(ring.mutex);
                ring.consumed = c + 1;
            }
            ring.taken.notify_all();
        }
    }
    hand_over(HandOver::PartsJoining);
    for (unsigned w = 0; w < started; ++w) {
        try {
            workers[w].join();
        } catch (const std::system_error&) {
            // Only a thread that is not joinable fails to join, and each one here is.
        }
    }
    secure_wipe(buffers.get(), slots * kOrderedChunkBytes);
}

}  // namespace tarnel

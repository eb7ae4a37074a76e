// SPDX-License-Identifier: MIT
#include "ordered_chunks.h"

#include <atomic>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "parallel_parts.h"
#include "tarnel/secure_wipe.h"

namespace tarnel {
namespace {

constexpr unsigned kMaxWorkers = 63;

// Chunk c is made in slot c % slots. A slot's `ready` holds c + 1 once chunk c is
// in it; a worker takes chunk c only after chunk c - slots has been consumed.
struct Slot {
    std::atomic<std::size_t> ready{0};
    std::size_t size = 0;
    unsigned char* buffer = nullptr;
};

struct Ring {
    std::size_t chunks;
    std::size_t slots;
    Slot* slot;
    MakeChunk make;
    void* context;
    std::atomic<std::size_t> next{0};      // the next chunk a worker takes
    std::atomic<std::size_t> consumed{0};  // chunks the caller has appended
};

void work(Ring* ring) noexcept {
    for (;;) {
        const std::size_t c = ring->next.fetch_add(1, std::memory_order_relaxed);
        if (c >= ring->chunks)
            return;
        // Wait until the caller has taken the chunk that held this slot before.
        for (std::size_t done = ring->consumed.load(std::memory_order_acquire);
             c >= done + ring->slots; done = ring->consumed.load(std::memory_order_acquire)) {
            ring->consumed.wait(done, std::memory_order_acquire);
        }
        Slot& slot = ring->slot[c % ring->slots];
        slot.size = ring->make(ring->context, c, slot.buffer);
        slot.ready.store(c + 1, std::memory_order_release);
        slot.ready.notify_one();
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
    Ring ring{chunks, slots, slot.get(), make, context};

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
            for (std::size_t r = s.ready.load(std::memory_order_acquire); r != c + 1;
                 r = s.ready.load(std::memory_order_acquire)) {
                s.ready.wait(r, std::memory_order_acquire);
            }
            consume(context, s.buffer, s.size);
            ring.consumed.store(c + 1, std::memory_order_release);
            ring.consumed.notify_all();
        }
    }
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

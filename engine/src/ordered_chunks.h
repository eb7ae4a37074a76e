// SPDX-License-Identifier: MIT
// Making a large result chunk by chunk on worker threads while the caller's thread
// appends the chunks to it in order.
//
// A result string cannot be sized without being filled with zeros first, and for a
// text of many megabytes that fill costs as much as the cipher. Appending finished
// chunks to a reserved string writes each byte once; the workers cipher and convert
// the next chunks meanwhile.
#pragma once

#include <cstddef>

namespace tarnel {

/// Largest chunk a make function may produce, in bytes.
inline constexpr std::size_t kOrderedChunkBytes = 32 * 1024;

/// make(index, buffer) fills `buffer` (kOrderedChunkBytes) with chunk `index` and
/// returns its size; consume(buffer, size) takes the chunks on the caller's thread,
/// in order, and may change the buffer, which is its own until it returns. With `parallel`, and a
/// CPU to spare in the affinity mask (see parallel_parts.h for the settings), make runs on worker
/// threads, several chunks at once; otherwise, or when no thread or buffer can be had, the caller
/// makes and consumes each chunk in turn. Neither function may throw. Buffers may hold plain text:
/// they are wiped before this returns.
using MakeChunk = std::size_t (*)(void* context, std::size_t index, unsigned char* buffer) noexcept;
using ConsumeChunk = void (*)(void* context, unsigned char* buffer, std::size_t size) noexcept;
void run_ordered_chunks(std::size_t chunks, bool parallel, MakeChunk make, ConsumeChunk consume,
                        void* context) noexcept;

template <class Make, class Consume>
void for_each_ordered_chunk(std::size_t chunks, bool parallel, Make& make,
                            Consume& consume) noexcept {
    struct Both {
        Make& make;
        Consume& consume;
    } both{make, consume};
    run_ordered_chunks(
        chunks, parallel,
        [](void* c, std::size_t index, unsigned char* buffer) noexcept {
            return static_cast<Both*>(c)->make(index, buffer);
        },
        [](void* c, unsigned char* buffer, std::size_t size) noexcept {
            static_cast<Both*>(c)->consume(buffer, size);
        },
        &both);
}

}  // namespace tarnel

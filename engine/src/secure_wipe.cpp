// SPDX-License-Identifier: MIT
#include "tarnel/secure_wipe.h"

#include <cstring>

namespace tarnel {

void secure_wipe(void* data, std::size_t size) noexcept {
    if (size == 0)
        return;
#if defined(__GNUC__) || defined(__clang__)
    // The empty statement claims to read the memory, so the stores before it
    // cannot be dropped as dead; memset keeps wiping a large text fast.
    std::memset(data, 0, size);
    __asm__ __volatile__("" : : "r"(data) : "memory");
#else
    // Volatile stores cannot be elided, and the loop is portable where
    // explicit_bzero and memset_s are missing.
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    while (size-- != 0)
        *p++ = 0;
#endif
}

void secure_wipe(std::string& text) noexcept {
    // Growing to the capacity never reallocates, and it brings the stale bytes
    // beyond the length, left there by earlier contents, into reach.
    text.resize(text.capacity());
    secure_wipe(text.data(), text.size());
    text.clear();
}

}  // namespace tarnel

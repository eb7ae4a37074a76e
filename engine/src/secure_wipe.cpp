#include "tarnel/secure_wipe.h"

namespace tarnel {

void secure_wipe(void* data, std::size_t size) noexcept {
    // Volatile stores cannot be elided, and the loop is portable where
    // explicit_bzero and memset_s are missing.
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    while (size-- != 0)
        *p++ = 0;
}

void secure_wipe(std::string& text) noexcept {
    // Growing to the capacity never reallocates, and it brings the stale bytes
    // beyond the length, left there by earlier contents, into reach.
    text.resize(text.capacity());
    secure_wipe(text.data(), text.size());
    text.clear();
}

}  // namespace tarnel

// SPDX-License-Identifier: MIT
// Wiping secrets so that the optimiser cannot drop the stores.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnel {

/// Overwrites `size` bytes at `data` with zeros through volatile stores.
void secure_wipe(void* data, std::size_t size) noexcept;

/// Wipes the whole capacity of `text`, not only its current length, and empties it.
void secure_wipe(std::string& text) noexcept;

/// Appends `more` to `text`. Where `text` must grow, it moves to a buffer of at
/// least twice its capacity and the buffer it leaves is wiped, so that growing
/// leaves no copy of a secret behind. False, with `text` as it was, when memory
/// runs out.
bool append_wiped(std::string& text, std::string_view more) noexcept;

/// Wipes an object in place, for plain records such as keys and cipher contexts.
template <class T>
void secure_wipe_object(T& object) noexcept {
    secure_wipe(static_cast<void*>(&object), sizeof(T));
}

/// Wipes a string when the scope that owns it ends, however it ends.
class ScopedWipe {
  public:
    explicit ScopedWipe(std::string& text) noexcept : m_text(text) {}
    ~ScopedWipe() { secure_wipe(m_text); }
    ScopedWipe(const ScopedWipe&) = delete;
    ScopedWipe& operator=(const ScopedWipe&) = delete;

  private:
    std::string& m_text;
};

}  // namespace tarnel

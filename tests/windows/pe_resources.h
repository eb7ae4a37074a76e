// SPDX-License-Identifier: MIT
// Reads the resources of a Windows executable straight from its file, as a
// check independent of the system that runs the tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tarnel::windows_test {

using Bytes = std::vector<std::uint8_t>;

class PeResources {
  public:
    /// Reads the PE file at `path`; throws std::runtime_error when it is none.
    explicit PeResources(const std::string& path);

    /// The numbered resources of `type`, by id, in their first language.
    const std::map<std::uint16_t, Bytes>& of_type(std::uint16_t type) const;
    /// Every resource type the file has.
    std::vector<std::uint16_t> types() const;

  private:
    std::map<std::uint16_t, std::map<std::uint16_t, Bytes>> m_resources;
};

/// Little-endian reads from resource bytes; out of range throws.
std::uint16_t u16(const Bytes& bytes, std::size_t at);
std::uint32_t u32(const Bytes& bytes, std::size_t at);
/// The zero-terminated UTF-16 string at `at`, as UTF-8; `at` moves past it.
std::string utf16z(const Bytes& bytes, std::size_t& at);

}  // namespace tarnel::windows_test

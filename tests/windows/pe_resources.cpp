// SPDX-License-Identifier: MIT
#include "pe_resources.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tarnel::windows_test {
namespace {

constexpr std::uint32_t kSubdirectory = 0x80000000u;

struct Section {
    std::uint32_t virtual_address, virtual_size, raw_offset, raw_size;
};

class Image {
  public:
    explicit Image(Bytes file) : m_file(std::move(file)) {
        if (u16(m_file, 0) != 0x5A4D)
            throw std::runtime_error("no MZ header");
        const std::size_t pe = u32(m_file, 0x3C);
        if (u32(m_file, pe) != 0x00004550)
            throw std::runtime_error("no PE header");
        const std::size_t sections = u16(m_file, pe + 6);
        const std::size_t optional = pe + 24;
        const std::size_t optional_size = u16(m_file, pe + 20);
        // The data directories follow the optional header's fixed part: 96 bytes
        // in PE32, 112 in PE32+; the resource table is the third.
        const bool plus = u16(m_file, optional) == 0x20B;
        const std::size_t directories = optional + (plus ? 112 : 96);
        m_resource_rva = u32(m_file, directories + 2 * 8);
        for (std::size_t i = 0; i < sections; ++i) {
            const std::size_t at = optional + optional_size + i * 40;
            m_sections.push_back({u32(m_file, at + 12), u32(m_file, at + 8), u32(m_file, at + 20),
                                  u32(m_file, at + 16)});
        }
    }

    std::size_t offset_of(std::uint32_t rva) const {
        for (const Section& s : m_sections)
            if (rva >= s.virtual_address &&
                rva < s.virtual_address + std::max(s.virtual_size, s.raw_size))
                return s.raw_offset + (rva - s.virtual_address);
        throw std::runtime_error("address outside every section");
    }

    const Bytes& file() const { return m_file; }
    std::uint32_t resource_rva() const { return m_resource_rva; }

  private:
    Bytes m_file;
    std::uint32_t m_resource_rva = 0;
    std::vector<Section> m_sections;
};

/// The (id, offset) entries of the directory at `directory` (offsets within the
/// resource section); named entries are left out, as this program has none.
std::vector<std::pair<std::uint32_t, std::uint32_t>> entries(const Bytes& file, std::size_t base,
                                                             std::uint32_t directory) {
    const std::size_t at = base + directory;
    const std::size_t named = u16(file, at + 12);
    const std::size_t numbered = u16(file, at + 14);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> found;
    for (std::size_t i = named; i < named + numbered; ++i)
        found.emplace_back(u32(file, at + 16 + i * 8), u32(file, at + 16 + i * 8 + 4));
    return found;
}

}  // namespace

std::uint16_t u16(const Bytes& bytes, std::size_t at) {
    if (at + 2 > bytes.size())
        throw std::out_of_range("read past the end");
    return std::uint16_t(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t u32(const Bytes& bytes, std::size_t at) {
    return u16(bytes, at) | (std::uint32_t(u16(bytes, at + 2)) << 16);
}

std::string utf16z(const Bytes& bytes, std::size_t& at) {
    std::string utf8;
    for (;;) {
        std::uint32_t code = u16(bytes, at);
        at += 2;
        if (code == 0)
            return utf8;
        if (code >= 0xD800 && code < 0xDC00) {
            code = 0x10000 + ((code - 0xD800) << 10) + (u16(bytes, at) - 0xDC00);
            at += 2;
        }
        if (code < 0x80) {
            utf8 += char(code);
        } else if (code < 0x800) {
            utf8 += char(0xC0 | (code >> 6));
            utf8 += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            utf8 += char(0xE0 | (code >> 12));
            utf8 += char(0x80 | ((code >> 6) & 0x3F));
            utf8 += char(0x80 | (code & 0x3F));
        } else {
            utf8 += char(0xF0 | (code >> 18));
            utf8 += char(0x80 | ((code >> 12) & 0x3F));
            utf8 += char(0x80 | ((code >> 6) & 0x3F));
            utf8 += char(0x80 | (code & 0x3F));
        }
    }
}

PeResources::PeResources(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    const Image image(Bytes(std::istreambuf_iterator<char>(in), {}));
    const Bytes& file = image.file();
    const std::size_t base = image.offset_of(image.resource_rva());
    // Three levels: type, then id, then language.
    for (const auto& [type, types] : entries(file, base, 0)) {
        if (!(types & kSubdirectory))
            continue;
        for (const auto& [id, ids] : entries(file, base, types & ~kSubdirectory)) {
            if (!(ids & kSubdirectory))
                continue;
            const auto languages = entries(file, base, ids & ~kSubdirectory);
            if (languages.empty() || (languages.front().second & kSubdirectory))
                continue;
            const std::size_t data = base + languages.front().second;
            const std::size_t start = image.offset_of(u32(file, data));
            const std::size_t size = u32(file, data + 4);
            if (start + size > file.size())
                throw std::runtime_error("resource past the end of the file");
            m_resources[std::uint16_t(type)][std::uint16_t(id)] = Bytes(
                file.begin() + std::ptrdiff_t(start), file.begin() + std::ptrdiff_t(start + size));
        }
    }
}

const std::map<std::uint16_t, Bytes>& PeResources::of_type(std::uint16_t type) const {
    static const std::map<std::uint16_t, Bytes> none;
    const auto found = m_resources.find(type);
    return found != m_resources.end() ? found->second : none;
}

std::vector<std::uint16_t> PeResources::types() const {
    std::vector<std::uint16_t> found;
    for (const auto& [type, resources] : m_resources)
        found.push_back(type);
    return found;
}

}  // namespace tarnel::windows_test

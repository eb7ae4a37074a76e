// SPDX-License-Identifier: MIT
#include "qt_compact_text.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "qt_backend.h"
#include "tarnel/ui/allocation_point.h"

namespace tarnel::ui::qt {
namespace {

// zlib's fastest level: ordinary text shrinks to about a third at some 70 MB/s here.
constexpr int kLevel = 1;
// A trial on the start of a text decides whether compressing it pays: hex digits,
// for instance, shrink too little for the time it takes.
constexpr std::size_t kTrial = 64 * 1024;
constexpr double kWorthwhile = 0.5;

void wipe(std::string& text) noexcept {
    WipeMemory(text.data(), text.size());
    text.clear();
    text.shrink_to_fit();
}

void wipe(QByteArray& bytes) noexcept {
    if (bytes.isDetached())
        WipeMemory(bytes.data(), static_cast<std::size_t>(bytes.size()));
    bytes = QByteArray();
}

void wipe(QString& text) noexcept {
    if (text.isDetached())
        WipeMemory(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    text = QString();
}

QByteArray deflate(const std::string& text, std::size_t size) {
    return qCompress(reinterpret_cast<const uchar*>(text.data()), static_cast<qsizetype>(size),
                     kLevel);
}

}  // namespace

void ReturnFreeMemory() noexcept {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

void WipeMemory(void* data, std::size_t size) noexcept {
    if (size == 0)
        return;
#if defined(__GNUC__) || defined(__clang__)
    std::memset(data, 0, size);
    // The empty statement claims to read the memory, so the stores stay.
    __asm__ __volatile__("" : : "r"(data) : "memory");
#else
    volatile unsigned char* byte = static_cast<volatile unsigned char*>(data);
    while (size-- != 0)
        *byte++ = 0;
#endif
}

CompactText::~CompactText() {
    Clear();
}

void CompactText::Store(RawText raw) {
    Clear();
    AllocationPoint();  // the shared state and the thread
    // The worker's own point is passed here, so that the points of one edit come in
    // an order a test can count.
    bool conversion_fails = false;
    try {
        AllocationPoint();
    } catch (const std::bad_alloc&) {
        conversion_fails = true;
    }
    m_pending =
        std::async(std::launch::async, [raw = std::move(raw), conversion_fails]() mutable noexcept {
            Packed packed;
            try {
                if (conversion_fails)
                    throw std::bad_alloc();
                packed.utf8 = ToUtf8(raw);
            } catch (const std::bad_alloc&) {
                packed.lost = true;
            }
            wipe(raw.characters);
            const std::size_t trial = std::min(kTrial, packed.utf8.size());
            const QByteArray sample = deflate(packed.utf8, trial);
            if (trial > 0 && static_cast<double>(sample.size()) < kWorthwhile * trial) {
                packed.deflated = deflate(packed.utf8, packed.utf8.size());
                wipe(packed.utf8);
            }
            ReturnFreeMemory();
            return packed;
        });
}

CompactText::Packed& CompactText::Wait() {
    // The work catches what it throws, so get() hands back its result.
    if (m_pending.valid())
        m_packed = m_pending.get();
    return m_packed;
}

std::optional<QString> CompactText::Read() {
    const Packed& packed = Wait();
    if (packed.lost)
        return std::nullopt;
    // to_qstring keeps a leading byte-order mark, which QString::fromUtf8 drops.
    if (packed.deflated.isEmpty())
        return to_qstring(packed.utf8);
    QByteArray utf8 = qUncompress(packed.deflated);
    QString text =
        to_qstring(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    wipe(utf8);
    return text;
}

void CompactText::Clear() noexcept {
    Packed& packed = Wait();
    wipe(packed.utf8);
    wipe(packed.deflated);
    packed.lost = false;
}

void CompactText::Swap(CompactText& other) noexcept {
    std::swap(m_pending, other.m_pending);
    std::swap(m_packed.utf8, other.m_packed.utf8);
    std::swap(m_packed.deflated, other.m_packed.deflated);
    std::swap(m_packed.lost, other.m_packed.lost);
}

}  // namespace tarnel::ui::qt

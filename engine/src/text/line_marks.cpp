// SPDX-License-Identifier: MIT
#include "line_marks.h"

#include "forced_path.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define TARNEL_LINE_MARKS_VECTOR 1
#elif defined(__ARM_NEON) && defined(__aarch64__)
#include <arm_neon.h>
#define TARNEL_LINE_MARKS_VECTOR 1
#else
#define TARNEL_LINE_MARKS_VECTOR 0
#endif

namespace tarnel {
namespace {

ForcedPath<TextScanPath> g_path;  // set only by tests and benchmarks

bool available(TextScanPath path) noexcept {
    return path == TextScanPath::Portable || TARNEL_LINE_MARKS_VECTOR;
}

#if defined(__SSE2__)
LineMarks marks_of(const unsigned char* p) noexcept {
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    LineMarks marks{0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        const auto bits = [i](__m128i m) {
            return uint64_t(uint32_t(_mm_movemask_epi8(m))) << 16 * i;
        };
        marks.high |= bits(v);
        marks.cr |= bits(_mm_cmpeq_epi8(v, cr));
        marks.lf |= bits(_mm_cmpeq_epi8(v, lf));
    }
    return marks;
}
#elif TARNEL_LINE_MARKS_VECTOR
// One bit a byte from four compares: each byte keeps its own bit of its group of
// eight, and three rounds of pairwise adds gather the 64 bits.
uint64_t bits_of(const uint8x16_t (&m)[4]) noexcept {
    const uint8x16_t weights = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
    const uint8x16_t a = vpaddq_u8(vandq_u8(m[0], weights), vandq_u8(m[1], weights));
    const uint8x16_t b = vpaddq_u8(vandq_u8(m[2], weights), vandq_u8(m[3], weights));
    const uint8x16_t ab = vpaddq_u8(a, b);
    return vgetq_lane_u64(vreinterpretq_u64_u8(vpaddq_u8(ab, ab)), 0);
}

LineMarks marks_of(const unsigned char* p) noexcept {
    const uint8x16_t v[4] = {vld1q_u8(p), vld1q_u8(p + 16), vld1q_u8(p + 32), vld1q_u8(p + 48)};
    uint8x16_t high[4], cr[4], lf[4];
    for (int i = 0; i < 4; ++i) {
        high[i] = vcgeq_u8(v[i], vdupq_n_u8(0x80));
        cr[i] = vceqq_u8(v[i], vdupq_n_u8('\r'));
        lf[i] = vceqq_u8(v[i], vdupq_n_u8('\n'));
    }
    return {bits_of(high), bits_of(cr), bits_of(lf)};
}
#else
LineMarks marks_of(const unsigned char* p) noexcept {
    LineMarks marks{0, 0, 0};
    for (int i = 0; i < 64; ++i) {
        marks.high |= uint64_t(p[i] >= 0x80) << i;
        marks.cr |= uint64_t(p[i] == '\r') << i;
        marks.lf |= uint64_t(p[i] == '\n') << i;
    }
    return marks;
}
#endif

}  // namespace

void mark_blocks(const unsigned char* p, std::size_t blocks, LineMarks* out) noexcept {
    for (std::size_t i = 0; i < blocks; ++i)
        out[i] = marks_of(p + 64 * i);
}

TextScanPath text_scan_path() noexcept {
    return g_path.current({TextScanPath::Blocks}, TextScanPath::Portable, available);
}

bool set_text_scan_path(TextScanPath path) noexcept {
    return g_path.force(path, available(path));
}

void reset_text_scan_path() noexcept {
    g_path.reset();
}

}  // namespace tarnel

#include "platform/x11/ServerRows.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tolm::x11 {
namespace {

// The pad byte of a 32-bit pixel, wherever it sits in a native word.
constexpr std::uint32_t kColourBits = std::endian::native == std::endian::little ? 0x00FFFFFFu : 0xFFFFFF00u;

// From this size on a frame is written past the caches: it is read once, later, by another thread (the
// encoder), so caching it would only evict what is in use and read every line before writing it.
constexpr std::size_t kStreamFrom = std::size_t{4} << 20;

void CopyPixel(const std::uint8_t* src, std::uint8_t* dst) {
    std::uint32_t pixel;
    std::memcpy(&pixel, src, 4);
    pixel &= kColourBits;
    std::memcpy(dst, &pixel, 4);
}

// Four pixels a step in a fixed-size block, so the compiler makes each step one vector load, mask and store
// even at -O2.
void CopyRow(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels) {
    std::size_t p = 0;
    for (; p + 4 <= pixels; p += 4) {
        std::uint32_t block[4];
        std::memcpy(block, src + 4 * p, sizeof block);
        for (std::uint32_t& pixel : block) pixel &= kColourBits;
        std::memcpy(dst + 4 * p, block, sizeof block);
    }
    for (; p < pixels; ++p) CopyPixel(src + 4 * p, dst + 4 * p);
}

#if defined(__SSE2__)
void StreamRow(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels) {
    std::size_t p = 0;
    for (; p < pixels && reinterpret_cast<std::uintptr_t>(dst + 4 * p) % 16 != 0; ++p)
        CopyPixel(src + 4 * p, dst + 4 * p);
    const __m128i mask = _mm_set1_epi32(static_cast<int>(kColourBits));
    for (; p + 4 <= pixels; p += 4) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * p));
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 4 * p), _mm_and_si128(block, mask));
    }
    for (; p < pixels; ++p) CopyPixel(src + 4 * p, dst + 4 * p);
}
#endif

}  // namespace

void CopyServerRows(const std::uint8_t* src, std::size_t srcStride, const Rect& inner, const PixelRows& dst) {
    const std::size_t offset = static_cast<std::size_t>(inner.left) * 4;
    const auto pixels = static_cast<std::size_t>(inner.width);
    auto copy = CopyRow;
#if defined(__SSE2__)
    if (pixels * 4 * static_cast<std::size_t>(inner.height) >= kStreamFrom) copy = StreamRow;
#endif
    for (int row = 0; row < inner.height; ++row)
        copy(src + static_cast<std::size_t>(row) * srcStride, dst.Row(inner.top + row) + offset, pixels);
#if defined(__SSE2__)
    _mm_sfence();  // the streamed rows are in memory before another thread is handed the frame
#endif
}

}  // namespace tolm::x11

#pragma once

#include <cstdint>

#include "imaging/Bitmap.h"

namespace tolm::test {

// The filters written out byte by byte from their formulas, with nothing shared with the production code:
// 64-bit integer arithmetic, grey levels in extended precision, the generator stepped draw by draw.
enum class Filter {
    Brightness,
    Contrast,
    Darkness,
    Saturation,
    ColorNoise,
    MonoNoise,
    Posterize,
    ColorAdjust,
    Grey,
    Sepia
};

struct Lcg {
    std::uint32_t state = 0;
    std::uint32_t Draw(std::uint32_t range);
};

std::uint8_t ReferenceGrey(int r, int g, int b);

// Triples the walk takes per row: the table's count, cut to the triples a row holds whole.
std::size_t ReferenceTriples(const Bitmap& frame);

// a is the filter's value (r for colour adjust).
void ApplyReference(Bitmap& frame, Filter filter, std::int32_t a, Lcg& random, std::int32_t g = 0, std::int32_t b = 0);

// A frame of the given size and format filled with bytes from a fixed seed.
Bitmap RandomFrame(int width, int height, TPixelFormat format, std::uint32_t seed);

}  // namespace tolm::test

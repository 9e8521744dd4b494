#pragma once

#include <cstddef>
#include <cstdint>

namespace tolm {

// Rows of 32-bit pixels somewhere in memory, the picture's top row first. The step from one row to the
// next may be negative: a bottom-up DIB seen from its top row. Owns nothing.
struct PixelRows {
    std::uint8_t* top = nullptr;
    std::ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;

    std::uint8_t* Row(int y) const { return top + static_cast<std::ptrdiff_t>(y) * stride; }
};

}  // namespace tolm

#pragma once

#include <cstdint>

namespace tolm {

// The toolkit's pixel formats with their documented ordinals. Images in this program exist only in
// pf8bit (fixed palette), pf16bit (RGB555), pf24bit (BGR) and pf32bit (BGRX); every other value is
// treated as pf32bit.
enum class TPixelFormat : std::uint8_t {
    pfDevice = 0,
    pf1bit = 1,
    pf4bit = 2,
    pf8bit = 3,
    pf15bit = 4,
    pf16bit = 5,
    pf24bit = 6,
    pf32bit = 7,
    pfCustom = 8,
};

// The format an image really takes for a requested one: pf15bit becomes pf16bit, the formats without
// a storage of their own become pf32bit.
constexpr TPixelFormat NormalizePixelFormat(TPixelFormat f) {
    switch (f) {
        case TPixelFormat::pf8bit:
        case TPixelFormat::pf16bit:
        case TPixelFormat::pf24bit:
        case TPixelFormat::pf32bit:
            return f;
        case TPixelFormat::pf15bit:
            return TPixelFormat::pf16bit;
        default:
            return TPixelFormat::pf32bit;
    }
}

constexpr int BitsPerPixel(TPixelFormat f) {
    switch (NormalizePixelFormat(f)) {
        case TPixelFormat::pf8bit:
            return 8;
        case TPixelFormat::pf16bit:
            return 16;
        case TPixelFormat::pf24bit:
            return 24;
        default:
            return 32;
    }
}

constexpr TPixelFormat PixelFormatForBits(int bits) {
    switch (bits) {
        case 8:
            return TPixelFormat::pf8bit;
        case 15:
        case 16:
            return TPixelFormat::pf16bit;
        case 24:
            return TPixelFormat::pf24bit;
        default:
            return TPixelFormat::pf32bit;
    }
}

// Bytes of one stored row: whole 32-bit words, as packed bitmaps keep them.
constexpr std::int64_t RowStride(std::int64_t width, int bits) {
    return ((width * bits + 31) / 32) * 4;
}

}  // namespace tolm

#pragma once

#include <cstdint>
#include <optional>

namespace tolm::portal {

// Where blue, green, red and alpha lie in a 4-byte pixel of a PipeWire video format; alpha -1 when the fourth
// byte is padding.
struct ByteOrder {
    int blue = 0;
    int green = 1;
    int red = 2;
    int alpha = -1;
};

// The formats we offer the desktop, most wanted first: the ones our own rows use need no reordering.
inline constexpr int kOfferedFormatCount = 8;
const std::uint32_t* OfferedFormats();

// Nothing for a format we did not offer.
std::optional<ByteOrder> ByteOrderOf(std::uint32_t spaVideoFormat);

// One row of `width` pixels into blue, green, red, 0 bytes.
void ConvertRow(const std::uint8_t* src, std::uint8_t* dst, int width, const ByteOrder& order);

// One row of a pointer image into premultiplied 0xAARRGGBB; a format without alpha is opaque.
void ConvertPointerRow(const std::uint8_t* src, std::uint32_t* dst, int width, const ByteOrder& order);

}  // namespace tolm::portal

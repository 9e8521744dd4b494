#pragma once

#include <array>
#include <cstdint>

namespace tolm {

// The one 256-colour palette of 8-bit frames: a 6x6x6 colour cube (entries 0..215) and a ramp of 40
// greys (216..255). Entries are 0x00RRGGBB words, which is also the byte order of a DIB colour table.
const std::array<std::uint32_t, 256>& FixedPalette();

// Palette index for a colour. Every palette colour maps to an entry of the same colour, so converting an
// 8-bit image to 32 bits and back loses nothing.
std::uint8_t PaletteIndex(std::uint8_t r, std::uint8_t g, std::uint8_t b);

}  // namespace tolm

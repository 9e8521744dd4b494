#pragma once

#include <cstdint>

namespace tolm {

// Colours are 0x00BBGGRR, red in the low byte.
using TColor = std::uint32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clWhite = 0xFFFFFF;

}  // namespace tolm

#pragma once

#include <cstdint>
#include <string>

#include "imaging/Geometry.h"

namespace tolm {

// The widest and highest frame: an AVI stream keeps its frame rectangle in 16-bit numbers, and no screen is
// larger.
inline constexpr int kMaxFrameSide = 32767;
// The bytes of the largest working frame (32 bits a pixel): an AVI index keeps a frame's size in 31 bits.
inline constexpr std::int64_t kMaxFrameBytes = std::int64_t{1} << 31;

// Why `area` cannot be recorded from a screen whose whole desktop is `desktop`: it has no pixels, it is too
// large for a frame, or none of it lies on the screen. Empty when it can be recorded. An empty `desktop` (not
// known, or an area that follows the pointer onto the screen) has only the size judged.
std::string AreaProblem(const Rect& area, const Rect& desktop);

}  // namespace tolm

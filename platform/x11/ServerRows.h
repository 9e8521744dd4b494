#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/Geometry.h"
#include "imaging/PixelRows.h"

namespace tolm::x11 {

// Copies an image of inner.width x inner.height 32-bit server pixels, `srcStride` bytes a row, into `dst` at
// inner's position, with the pad byte of every pixel cleared: servers leave anything there.
void CopyServerRows(const std::uint8_t* src, std::size_t srcStride, const Rect& inner, const PixelRows& dst);

}  // namespace tolm::x11

#pragma once

#include <optional>

#include "imaging/Geometry.h"

namespace tolm {

// `area` with a width (or height) typed into the main window's edits, which cap it at the size of `monitor`.
// A size below 1 is refused: nullopt, and the area keeps its own. A size that would reach past the monitor's
// right (or bottom) edge moves the area back onto the monitor, so a size capped to the screen keeps all of the
// area on it rather than half of it.
std::optional<Rect> WithTypedSize(Rect area, bool width, int size, const Rect& monitor);

}  // namespace tolm

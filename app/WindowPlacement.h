#pragma once

#include "imaging/Geometry.h"

namespace tolm {

// The window's outer rectangle `outer` (frame included) moved, and cut where it is larger, so that it lies wholly
// within `screen`, the part of a screen that panels leave free.
Rect FitOnScreen(const Rect& outer, const Rect& screen);

}  // namespace tolm

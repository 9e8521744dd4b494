#pragma once

#include <cstdint>

#include "imaging/Geometry.h"

namespace tolm {

// Finds windows on the desktop for the object picker. Main thread only.
class WindowLocator {
  public:
    virtual ~WindowLocator() = default;

    virtual bool PointerPosition(Point& position) = 0;
    // The screen rectangle of the deepest window or control at `position`, passing over the window
    // `ignoreWindow` (the picker's own frame) to the one beneath it. False when nothing is there.
    virtual bool WindowRectAt(Point position, std::uint64_t ignoreWindow, Rect& rect) = 0;
    // Whether anything of the top-level `window` still shows: it, or the frame a window manager put round it
    // (which may linger while the desktop animates a minimise), is mapped. False when it is gone.
    virtual bool ShowsOnScreen(std::uint64_t window) = 0;
};

}  // namespace tolm

#pragma once

#include <cstdint>
#include <memory>

#include "platform/WindowLocator.h"
#include "platform/x11/X11DesktopCore.h"

namespace tolm {

// Walks the X window tree from the top of the stack down. A window counts at a point when it is viewable,
// not InputOnly (nothing of it shows), and the point lies inside its border and inside both its bounding and
// its input shape, as the server decides where the pointer is. Rectangles are outer ones, border included,
// because the border is part of what the user sees of the window. A point on the root where no window is
// gives the root's rectangle. Fails after the connection is lost.
class X11WindowLocator final : public WindowLocator {
  public:
    explicit X11WindowLocator(std::shared_ptr<x11::DesktopCore> core);

    bool PointerPosition(Point& position) override;
    bool WindowRectAt(Point position, std::uint64_t ignoreWindow, Rect& rect) override;
    bool ShowsOnScreen(std::uint64_t window) override;

  private:
    std::shared_ptr<x11::DesktopCore> core_;
};

}  // namespace tolm

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Color.h"
#include "imaging/Geometry.h"

namespace tolm {

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// A frameless, always-on-top window that never takes the focus and whose shape is a set of rectangles:
// what the area frame and the object picker draw around a part of the screen. Only the main thread uses it.
class OverlayWindow {
  public:
    virtual ~OverlayWindow() = default;

    // Size of a caption in the window's font.
    virtual Size TextExtent(const std::string& text) = 0;
    // Position and size on the virtual desktop.
    virtual void SetBounds(const Rect& screen) = 0;
    // The visible part of the window, as rectangles in window coordinates.
    virtual void SetShape(const std::vector<Rect>& shape) = 0;
    // Draws the caption with its top-left corner at `captionAt` and fills `frame` with `frameColor` (window
    // coordinates both).
    virtual void Paint(const std::string& caption, Point captionAt, TColor captionText, TColor captionBack,
                       const Rect& frame, TColor frameColor) = 0;
    // Shows the window above every other always-on-top window without activating it.
    virtual void ShowOnTop() = 0;
    virtual void Hide() = 0;
    virtual bool Showing() const = 0;
    // The window system's id of the window, so that lookups under the pointer can pass over it.
    virtual std::uint64_t NativeId() const = 0;
};

}  // namespace tolm

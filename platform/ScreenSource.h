#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/Geometry.h"
#include "imaging/PixelRows.h"

namespace tolm {

// The mouse cursor as the display shows it now.
struct CursorImage {
    bool visible = false;  // false when the pointer is hidden or has an empty image
    Point position;        // hot spot position on the virtual desktop
    Point hotspot;         // hot spot inside the image
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;  // width x height, row-major, premultiplied 0xAARRGGBB
};

// The screen of the desktop the recorder runs on. Implementations are safe to call from several threads
// at once (the preview and the recording worker may grab at the same time).
class ScreenSource {
  public:
    virtual ~ScreenSource() = default;

    // Copies `area` of the virtual desktop into `dst`, which becomes area.width x area.height in pf32bit.
    // Pixels outside the desktop are black. False (with LastError()) when the display cannot be read, for
    // example after the connection to it was lost.
    virtual bool Grab(const Rect& area, Bitmap& dst) = 0;

    // Whether the pixels of `area` may have changed since the previous call (the first call: true); what changed
    // elsewhere is forgotten. A change that comes after the answer is reported by the next call. Sources that
    // cannot tell answer true. Independent of Grab, so a preview grabbing meanwhile swallows nothing.
    virtual bool AreaChanged(const Rect& /*area*/) { return true; }

    // True while the source waits for the desktop's first picture: some desktops send one only once something on
    // the screen changes. Grabs fail meanwhile (a still screen loses nothing by the wait), and AreaChanged says
    // true when the picture comes. Sources that always have a picture answer false.
    virtual bool AwaitingFirstPicture() { return false; }

    // The same into rows the caller provides, area.width x area.height, with each pixel's fourth byte 0.
    // Sources that can write there directly save the frame a copy; this one grabs into a bitmap first.
    virtual bool GrabInto(const Rect& area, const PixelRows& dst);

    // False when the cursor cannot be queried; a hidden cursor is a successful query with visible false.
    virtual bool QueryCursor(CursorImage& cursor) = 0;
    // Whether QueryCursor can ever say where the pointer is: a desktop that paints the pointer into the picture
    // itself keeps that to itself.
    virtual bool TellsPointerPosition() const { return true; }

    // Monitor rectangles in the platform's order, the primary monitor first. Never empty: a display without
    // monitor information reports its whole screen as one monitor.
    virtual std::vector<Rect> Monitors() = 0;

    // The bounding rectangle of all monitors; its origin may be negative.
    virtual Rect VirtualDesktop() = 0;

    virtual std::string LastError() const = 0;
};

}  // namespace tolm

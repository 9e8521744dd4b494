#pragma once

#include "integration/Requirements.h"

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/Geometry.h"
#include "platform/ScreenSource.h"
#include "platform/x11/XcbHandles.h"

namespace tolm::testing {

// A window of four coloured quadrants shown by a second client, so the grabbed pixels have a known source.
struct BlockWindow {
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;
    static constexpr std::array<std::uint32_t, 4> kColours = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456};

    Point origin;  // on the root

    Rect Area() const { return Rect{origin.x, origin.y, kWidth, kHeight}; }
    // Colour at root position (x, y), which must lie inside the window.
    std::uint32_t ColourAt(int x, int y) const;
};

// A plain XCB client of a display ($DISPLAY unless named): shows block windows, moves the pointer through
// XTEST and resizes the screen through RandR.
class X11TestClient {
  public:
    explicit X11TestClient(const std::string& displayName = "");
    ~X11TestClient();
    X11TestClient(const X11TestClient&) = delete;
    X11TestClient& operator=(const X11TestClient&) = delete;

    bool Connected() const;
    Rect RootArea() const;

    // Maps an override-redirect block window at `origin`; it stays until the client goes. The window paints
    // itself from a background pixmap, so the server redraws it whenever it is exposed.
    BlockWindow ShowBlocks(Point origin);

    void MovePointer(int x, int y);

    // Gives the root window a solid cursor of the given size, or back the server's own with 0 x 0.
    void SetRootCursor(int width, int height);

    // Switches every CRTC off and gives the root the new size (which must not exceed the initial one).
    bool ResizeRoot(int width, int height);

    // A round trip: everything sent before has been carried out by the server.
    void Sync();

  private:
    x11::XcbConnection connection_;
    const xcb_screen_t* screen_ = nullptr;
    std::vector<xcb_window_t> windows_;
    std::vector<xcb_pixmap_t> pixmaps_;
    bool rootCursorSet_ = false;
};

// Grabs `area` until `matches` accepts the image or a few seconds pass: a window just mapped may not be on
// the screen yet. Returns the last grab's result; `dst` holds its image.
bool GrabUntil(ScreenSource& source, const Rect& area, Bitmap& dst, X11TestClient& client,
               const std::function<bool(const Bitmap&)>& matches);

// Pixels of `image`, grabbed from `area`, that lie outside `root` but are not black.
int LitPixelsOffRoot(const Bitmap& image, const Rect& area, const Rect& root);

// Whether `image`, grabbed from `area`, shows the window's colours wherever the two meet.
bool ShowsBlocks(const Bitmap& image, const Rect& area, const BlockWindow& window);

}  // namespace tolm::testing

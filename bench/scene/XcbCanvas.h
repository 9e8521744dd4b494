// A screen-sized override-redirect window with an off-screen copy: frames are painted into the copy and shown
// with one request, so a grabber never sees half a frame.
#pragma once

#include "SceneBoxes.h"

#include <xcb/xcb.h>

namespace tolm::scene {

class XcbCanvas {
  public:
    XcbCanvas(xcb_connection_t* c, xcb_screen_t* screen);
    ~XcbCanvas();
    XcbCanvas(const XcbCanvas&) = delete;
    XcbCanvas& operator=(const XcbCanvas&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }

    // Blocks until the window is exposed; false when the connection is lost first.
    bool WaitForExposure();
    void Paint(const BoxList& boxes);
    // Shows the off-screen copy and waits until the server has done so, so a slow server cannot fall behind.
    void Present();
    // Drains pending events; true when part of the window must be shown again.
    bool TakeExposures();

  private:
    xcb_connection_t* c_;
    int width_;
    int height_;
    xcb_window_t window_ = 0;
    xcb_pixmap_t pixmap_ = 0;
    xcb_gcontext_t gc_ = 0;
};

}  // namespace tolm::scene

#pragma once

#include <xcb/xcb.h>

namespace tolm::x11 {

// Whether the server is a rootless Xwayland: the X server of a Wayland desktop that shows each X window as a
// window of the desktop and keeps no picture of the screen behind its root window, so that a grab of the root
// is black. Told by the server's own marks (its XWAYLAND extension or RandR outputs named XWAYLAND<n>) together
// with a root window the server calls not viewable; a real X server's root always is, black or not.
bool IsRootlessXwayland(xcb_connection_t* connection, const xcb_screen_t& screen);

}  // namespace tolm::x11

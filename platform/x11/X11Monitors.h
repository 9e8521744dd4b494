#pragma once

#include <xcb/xcb.h>

#include <vector>

#include "imaging/Geometry.h"

namespace tolm::x11 {

// What the server's RandR can tell about monitors.
struct RandrSupport {
    bool monitors = false;  // 1.5: GetMonitors
    bool crtcs = false;     // 1.3: screen resources, CRTCs and the primary output
};

RandrSupport InitRandr(xcb_connection_t* connection);

// Active monitors, the primary first, duplicates (mirrored outputs) once. Empty when RandR has nothing to say.
std::vector<Rect> QueryMonitors(xcb_connection_t* connection, xcb_window_t root, RandrSupport support);

}  // namespace tolm::x11

#pragma once

#include <xcb/xcb.h>

#include <string>

#include "platform/x11/XcbHandles.h"

namespace tolm::x11 {

// A connection to `displayName` (empty: $DISPLAY) and its screen. On failure the connection is null and
// `error` says why in words a user understands ("Cannot open display :5 (no X server answers there...)").
struct DisplayConnection {
    XcbConnection connection;
    const xcb_screen_t* screen = nullptr;
    std::string shownName;  // the display's name as the user knows it
};
DisplayConnection ConnectToDisplay(const std::string& displayName, std::string& error);

}  // namespace tolm::x11

#pragma once

#include <string>
#include <string_view>

namespace tolm {

// Where the programs read the screen from: the X server, or the desktop's ScreenCast portal (Wayland).
enum class ScreenBackend { automatic, x11, portal };

// "auto", "x11" or "portal"; false for anything else.
bool ParseScreenBackend(std::string_view text, ScreenBackend& backend);
const char* ScreenBackendName(ScreenBackend backend);

// What a process can tell of its session from its environment.
struct SessionEnvironment {
    std::string waylandDisplay;  // $WAYLAND_DISPLAY
    std::string sessionType;     // $XDG_SESSION_TYPE
    static SessionEnvironment OfThisProcess();
};

// `automatic` becomes the portal in a Wayland session, where Xwayland keeps no picture of the screen to grab,
// and X11 otherwise; a named backend stays as it is.
ScreenBackend ResolveScreenBackend(ScreenBackend requested, const SessionEnvironment& session);

}  // namespace tolm

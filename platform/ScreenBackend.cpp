#include "platform/ScreenBackend.h"

#include <cstdlib>

namespace tolm {

bool ParseScreenBackend(std::string_view text, ScreenBackend& backend) {
    if (text == "auto") {
        backend = ScreenBackend::automatic;
    } else if (text == "x11") {
        backend = ScreenBackend::x11;
    } else if (text == "portal") {
        backend = ScreenBackend::portal;
    } else {
        return false;
    }
    return true;
}

const char* ScreenBackendName(ScreenBackend backend) {
    switch (backend) {
        case ScreenBackend::x11:
            return "x11";
        case ScreenBackend::portal:
            return "portal";
        case ScreenBackend::automatic:
            break;
    }
    return "auto";
}

SessionEnvironment SessionEnvironment::OfThisProcess() {
    auto read = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    return {read("WAYLAND_DISPLAY"), read("XDG_SESSION_TYPE")};
}

ScreenBackend ResolveScreenBackend(ScreenBackend requested, const SessionEnvironment& session) {
    if (requested != ScreenBackend::automatic) return requested;
    const bool wayland = !session.waylandDisplay.empty() || session.sessionType == "wayland";
    return wayland ? ScreenBackend::portal : ScreenBackend::x11;
}

}  // namespace tolm

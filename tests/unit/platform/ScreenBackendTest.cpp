#include "platform/ScreenBackend.h"

#include <gtest/gtest.h>

namespace tolm {
namespace {

// Under Wayland an X11 grab sees Xwayland's windows only, so the automatic choice must find the session
// from either variable a Wayland desktop sets; a named backend is never second-guessed.
TEST(ScreenBackend, AutomaticTakesThePortalInAWaylandSessionOnly) {
    EXPECT_EQ(ResolveScreenBackend(ScreenBackend::automatic, {"wayland-0", ""}), ScreenBackend::portal);
    EXPECT_EQ(ResolveScreenBackend(ScreenBackend::automatic, {"", "wayland"}), ScreenBackend::portal);
    EXPECT_EQ(ResolveScreenBackend(ScreenBackend::automatic, {"", "x11"}), ScreenBackend::x11);
    EXPECT_EQ(ResolveScreenBackend(ScreenBackend::x11, {"wayland-0", "wayland"}), ScreenBackend::x11);
    EXPECT_EQ(ResolveScreenBackend(ScreenBackend::portal, {"", "x11"}), ScreenBackend::portal);
}

}  // namespace
}  // namespace tolm

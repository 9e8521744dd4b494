#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "PrivateXServer.h"
#include "X11TestClient.h"
#include "platform/x11/X11ScreenSource.h"

namespace tolm::testing {
namespace {

// These need the Xvfb program, not $DISPLAY; without it they skip unless a display is required.
#define START_PRIVATE_SERVER(server)                                        \
    if (!(server).Running()) {                                              \
        if (Required("TOLM_REQUIRE_DISPLAY")) FAIL() << (server).Problem(); \
        GTEST_SKIP() << (server).Problem();                                 \
    }

const char* MethodName(X11GrabMethod method) {
    return method == X11GrabMethod::Auto ? "shared memory" : "GetImage";
}

TEST(X11PrivateServerTest, LostServerFailsCleanlyAndKeepsFailing) {
    for (const X11GrabMethod method : {X11GrabMethod::Auto, X11GrabMethod::GetImage}) {
        SCOPED_TRACE(MethodName(method));
        PrivateXServer server("320x240x24");
        START_PRIVATE_SERVER(server);
        std::string error;
        const auto source = CreateX11ScreenSource(server.DisplayName(), error, method);
        ASSERT_NE(source, nullptr) << error;
        Bitmap dst;
        ASSERT_TRUE(source->Grab(Rect{10, 10, 32, 32}, dst)) << source->LastError();
        CursorImage cursor;
        ASSERT_TRUE(source->QueryCursor(cursor)) << source->LastError();

        server.Stop();
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_FALSE(source->Grab(Rect{10, 10, 32, 32}, dst));
            EXPECT_NE(source->LastError().find("Lost the connection to the X display " + server.DisplayName()),
                      std::string::npos)
                << source->LastError();
            EXPECT_FALSE(source->QueryCursor(cursor));
            EXPECT_NE(source->LastError().find("Lost the connection"), std::string::npos) << source->LastError();
        }
        // Still answers with the last known screen, as the interface promises a monitor.
        EXPECT_EQ(source->Monitors(), (std::vector<Rect>{Rect{0, 0, 320, 240}}));
        EXPECT_EQ(source->VirtualDesktop(), (Rect{0, 0, 320, 240}));
    }
}

TEST(X11PrivateServerTest, UnsupportedDepthIsRefusedWithReason) {
    PrivateXServer server("320x240x16");
    START_PRIVATE_SERVER(server);
    std::string error;
    const auto source = CreateX11ScreenSource(server.DisplayName(), error);
    ASSERT_NE(source, nullptr) << error;

    Bitmap dst;
    EXPECT_FALSE(source->Grab(Rect{0, 0, 16, 16}, dst));
    EXPECT_NE(source->LastError().find("16-bit"), std::string::npos) << source->LastError();
    // The rest of the screen source does not depend on the pixel layout.
    CursorImage cursor;
    EXPECT_TRUE(source->QueryCursor(cursor)) << source->LastError();
    EXPECT_EQ(source->VirtualDesktop(), (Rect{0, 0, 320, 240}));
}

TEST(X11PrivateServerTest, GrabFollowsTheRootWhenItShrinks) {
    for (const X11GrabMethod method : {X11GrabMethod::Auto, X11GrabMethod::GetImage}) {
        SCOPED_TRACE(MethodName(method));
        PrivateXServer server("800x600x24");
        START_PRIVATE_SERVER(server);
        X11TestClient client(server.DisplayName());
        ASSERT_TRUE(client.Connected());
        std::string error;
        const auto source = CreateX11ScreenSource(server.DisplayName(), error, method);
        ASSERT_NE(source, nullptr) << error;
        Bitmap dst;
        ASSERT_TRUE(source->Grab(Rect{700, 500, 100, 100}, dst)) << source->LastError();

        ASSERT_TRUE(client.ResizeRoot(640, 480));
        // Inside the old root, outside the new one: reading it as before would be an X error.
        const Rect area{600, 440, 100, 100};
        dst.Fill(0xFFFFFF);
        ASSERT_TRUE(source->Grab(area, dst)) << source->LastError();
        EXPECT_EQ(LitPixelsOffRoot(dst, area, Rect{0, 0, 640, 480}), 0);
        // With every CRTC off RandR lists no monitor, and the whole root stands in.
        EXPECT_EQ(source->Monitors(), (std::vector<Rect>{Rect{0, 0, 640, 480}}));
    }
}

}  // namespace
}  // namespace tolm::testing

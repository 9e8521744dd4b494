#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "X11TestClient.h"
#include "platform/x11/X11ScreenSource.h"

namespace tolm::testing {
namespace {

class X11DesktopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TOLM_SKIP_WITHOUT_DISPLAY();
        ASSERT_TRUE(client_.Connected());
        std::string error;
        source_ = CreateX11ScreenSource("", error);
        ASSERT_NE(source_, nullptr) << error;
    }

    X11TestClient client_;
    std::unique_ptr<ScreenSource> source_;
};

TEST_F(X11DesktopTest, CursorReportsWhereXTestMovedIt) {
    const Rect root = client_.RootArea();
    for (const Point target : {Point{root.width / 2 + 37, root.height / 2 + 23}, Point{root.width / 3, 5}}) {
        client_.MovePointer(target.x, target.y);
        CursorImage cursor;
        ASSERT_TRUE(source_->QueryCursor(cursor)) << source_->LastError();
        EXPECT_EQ(cursor.position, target);

        ASSERT_TRUE(cursor.visible);
        ASSERT_GT(cursor.width, 0);
        ASSERT_GT(cursor.height, 0);
        ASSERT_EQ(cursor.argb.size(), static_cast<std::size_t>(cursor.width) * static_cast<std::size_t>(cursor.height));
        EXPECT_GE(cursor.hotspot.x, 0);
        EXPECT_LT(cursor.hotspot.x, cursor.width);
        EXPECT_GE(cursor.hotspot.y, 0);
        EXPECT_LT(cursor.hotspot.y, cursor.height);
        // Premultiplied: no colour channel exceeds its alpha. A wrong stride or byte order breaks this.
        for (const std::uint32_t pixel : cursor.argb) {
            const std::uint32_t alpha = pixel >> 24;
            ASSERT_LE(pixel >> 16 & 0xFF, alpha);
            ASSERT_LE(pixel >> 8 & 0xFF, alpha);
            ASSERT_LE(pixel & 0xFF, alpha);
        }
    }
}

// The image is kept between queries, so a cursor the server changes must still reach the frames.
TEST_F(X11DesktopTest, CursorImageFollowsTheServersCursor) {
    CursorImage cursor;
    ASSERT_TRUE(source_->QueryCursor(cursor)) << source_->LastError();
    const int ownWidth = cursor.width;
    const auto queryUntilWidth = [&](int width) {
        // The announcement travels on another connection than the test's; a few round trips let it arrive.
        for (int attempt = 0; attempt < 100 && cursor.width != width; ++attempt) {
            client_.Sync();
            if (!source_->QueryCursor(cursor)) return false;
        }
        return cursor.width == width;
    };
    client_.SetRootCursor(5, 7);
    ASSERT_TRUE(queryUntilWidth(5));
    EXPECT_EQ(cursor.height, 7);
    EXPECT_EQ(cursor.argb.size(), 35u);
    client_.SetRootCursor(0, 0);
    EXPECT_TRUE(queryUntilWidth(ownWidth));
}

TEST_F(X11DesktopTest, MonitorsCoverTheRoot) {
    const Rect root = client_.RootArea();
    const std::vector<Rect> monitors = source_->Monitors();
    ASSERT_EQ(monitors.size(), 1u);
    EXPECT_EQ(monitors.front(), root);
    EXPECT_EQ(source_->VirtualDesktop(), root);
}

}  // namespace
}  // namespace tolm::testing

#include <gtest/gtest.h>

#include "app/LatestPreview.h"

namespace tolm {
namespace {

LatestPreview::Frame FrameOfWidth(int width) {
    return {QImage(width, 10, QImage::Format_RGB32), true, true, true};
}

// Frames come faster than a busy window takes them: it is asked once and shows the newest.
TEST(LatestPreview, ABusyWindowIsAskedOnceAndGetsOnlyTheNewestFrame) {
    LatestPreview latest;
    EXPECT_TRUE(latest.Put(FrameOfWidth(1)));
    EXPECT_FALSE(latest.Put(FrameOfWidth(2)));
    EXPECT_FALSE(latest.Put(FrameOfWidth(3)));
    const std::optional<LatestPreview::Frame> shown = latest.Take();
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->image.width(), 3);
    EXPECT_FALSE(latest.Take().has_value());
    EXPECT_TRUE(latest.Put(FrameOfWidth(4)));  // taken: the next frame asks again
}

}  // namespace
}  // namespace tolm

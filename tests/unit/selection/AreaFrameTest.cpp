#include <gtest/gtest.h>

#include "platform/fake/FakeOverlayWindow.h"
#include "selection/FlashingWnd.h"
#include "selection/SelObjWnd.h"

namespace tolm {
namespace {

struct FrameUnderTest {
    FakeOverlayWindow* window;
    TFlashingWnd frame;
    explicit FrameUnderTest(Size caption = {150, 13}) : FrameUnderTest(std::make_unique<FakeOverlayWindow>(caption)) {}
    explicit FrameUnderTest(std::unique_ptr<FakeOverlayWindow> w) : window(w.get()), frame(std::move(w)) {}
};

TEST(AreaFrame, RingLiesJustOutsideTheArea) {
    FrameUnderTest t;
    t.frame.Reshape(100, 200, "Recording...", false, 240, 320);
    EXPECT_EQ(t.window->bounds, (Rect{96, 183, 326, 259}));
    EXPECT_EQ(t.frame.FrameRect(), (Rect{0, 13, 326, 246}));
    const RectRegion& shape = t.frame.Region();
    // The hole runs from screen (98, 198) to (420, 440), exclusive: window (2, 15) to (324, 257).
    EXPECT_FALSE(shape.Contains(2, 15));
    EXPECT_FALSE(shape.Contains(323, 256));
    EXPECT_TRUE(shape.Contains(1, 15));
    EXPECT_TRUE(shape.Contains(324, 256));
    EXPECT_TRUE(shape.Contains(2, 14));
    EXPECT_TRUE(shape.Contains(2, 257));
    // Nothing of the captured area (screen 100..419 x 200..439) is covered.
    for (int y = 200 - 183; y < 440 - 183; y += 7)
        for (int x = 100 - 96; x < 420 - 96; x += 7) ASSERT_FALSE(shape.Contains(x, y)) << x << "," << y;
    // Caption strip kept, the rest of the top band cut.
    EXPECT_TRUE(shape.Contains(149, 0));
    EXPECT_FALSE(shape.Contains(150, 0));
    EXPECT_EQ(shape.Area(), 150LL * 13 + 2LL * 326 * 2 + 2LL * 242 * 2);
    EXPECT_EQ(t.window->shape, shape.Rects());
}

TEST(AreaFrame, CornersOnlyLeavesFourLShapedCorners) {
    FrameUnderTest t;
    t.frame.Reshape(100, 200, "Preview", true, 240, 320);
    const RectRegion& shape = t.frame.Region();
    // Top-left L: arms of 30 pixels from the ring's outer edge, 2 thick.
    EXPECT_TRUE(shape.Contains(29, 13));
    EXPECT_FALSE(shape.Contains(30, 13));
    EXPECT_TRUE(shape.Contains(0, 13 + 29));
    EXPECT_FALSE(shape.Contains(0, 13 + 30));
    // Nothing of the ring between the corners.
    EXPECT_FALSE(shape.Contains(163, 13));
    EXPECT_FALSE(shape.Contains(0, 130));
    EXPECT_FALSE(shape.Contains(325, 130));
    EXPECT_FALSE(shape.Contains(163, 258));
    // Bottom-right corner present.
    EXPECT_TRUE(shape.Contains(325, 258));
    EXPECT_TRUE(shape.Contains(296, 258));
    EXPECT_FALSE(shape.Contains(295, 258));
    // Four Ls of 2 arms each (30 + 28 pixels long, 2 thick) plus the caption strip.
    EXPECT_EQ(shape.Area(), 150LL * 13 + 4LL * (30 * 2 + 28 * 2));
}

TEST(AreaFrame, CaptionWiderThanTheWindowKeepsTheTopBand) {
    FrameUnderTest t(Size{1000, 13});
    t.frame.Reshape(0, 50, "a very long caption", false, 20, 40);
    EXPECT_TRUE(t.frame.Region().Contains(45, 0));
}

// At the top-right of its screen the caption goes below the ring and left, whole; the shape follows it.
TEST(AreaFrame, CaptionAtTheScreensEdgeMovesInsideIt) {
    FrameUnderTest t;
    t.frame.SetScreen(Rect{0, 0, 400, 300});
    t.frame.Reshape(300, 0, "Recording...", false, 50, 100);
    EXPECT_EQ(t.window->bounds, (Rect{250, -4, 152, 69}));
    EXPECT_EQ(t.frame.FrameRect(), (Rect{46, 0, 106, 56}));
    EXPECT_EQ(t.frame.CaptionRect(), (Rect{0, 56, 150, 13}));
    EXPECT_EQ(t.frame.Region().Area(), 150LL * 13 + 2LL * 106 * 2 + 2LL * 52 * 2);
    EXPECT_TRUE(t.frame.Region().Contains(0, 56));
    EXPECT_FALSE(t.frame.Region().Contains(150, 56));
    t.frame.PaintFrame(clRed, "Recording...");
    EXPECT_EQ(t.window->paints.back().captionAt, (Point{0, 56}));
}

TEST(AreaFrame, PaintsNothingBeforeTheFirstReshape) {
    FrameUnderTest t;
    t.frame.PaintFrame(clRed, "Preview");
    EXPECT_TRUE(t.window->paints.empty());
    t.frame.Reshape(10, 30, "Preview", false, 20, 20);
    t.frame.PaintFrame(clLime, "Preview");
    ASSERT_EQ(t.window->paints.size(), 1u);
    EXPECT_EQ(t.window->paints[0].text, clBlack);
    EXPECT_EQ(t.window->paints[0].back, clYellow);
    EXPECT_EQ(t.window->paints[0].frameColor, clLime);
}

TEST(ObjectPicker, FramesTheWindowUnderThePointer) {
    auto window = std::make_unique<FakeOverlayWindow>(Size{190, 13});
    FakeOverlayWindow* w = window.get();
    FakeWindowLocator desktop;
    desktop.windows = {Rect{0, 0, 800, 600}, Rect{100, 50, 75, 23}};
    desktop.pointer = Point{120, 60};
    TSelObjWindow picker(std::move(window), desktop);

    picker.PaintFrame(TSelObjWindow::kCaption);
    EXPECT_TRUE(w->paints.empty());

    picker.Timer1Timer();
    EXPECT_EQ(w->bounds, (Rect{98, 35, 78, 39}));
    EXPECT_EQ((Rect{picker.ObjLeft(), picker.ObjTop(), picker.ObjWidth(), picker.ObjHeight()}),
              (Rect{100, 50, 75, 23}));
    EXPECT_EQ(desktop.lastIgnored, w->NativeId());
    ASSERT_EQ(w->paints.size(), 1u);
    EXPECT_EQ(w->paints[0].caption, "Cancel: Esc -- Select: Ctrl+Enter");
    EXPECT_EQ(w->paints[0].text, clWhite);
    EXPECT_EQ(w->paints[0].frameColor, clRed);
    EXPECT_TRUE(w->showing);
    // A 1-pixel ring: the object itself (window 2..76 x 15..37) is not covered.
    EXPECT_TRUE(picker.Region().Contains(0, 13));
    EXPECT_FALSE(picker.Region().Contains(1, 14));
    EXPECT_FALSE(picker.Region().Contains(76, 37));
    EXPECT_TRUE(picker.Region().Contains(77, 38));

    desktop.pointer = Point{500, 500};
    picker.Timer1Timer();
    EXPECT_EQ(picker.ObjWidth(), 800);
}

}  // namespace
}  // namespace tolm

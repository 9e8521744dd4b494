#include <gtest/gtest.h>

#include <algorithm>

#include <QImage>
#include <QRegion>

#include "app/QtConvert.h"
#include "app/QtOverlayWindow.h"
#include "selection/FlashingWnd.h"

namespace tolm {
namespace {

constexpr QRgb kUntouched = 0xFF123456;

struct FrameOnQt {
    QtOverlayWindow* window;
    TFlashingWnd frame;
    FrameOnQt() : FrameOnQt(std::make_unique<QtOverlayWindow>()) {}
    explicit FrameOnQt(std::unique_ptr<QtOverlayWindow> w) : window(w.get()), frame(std::move(w)) {}

    // What the widget paints, on a background it never paints itself.
    QImage Render() const {
        QImage image(window->size(), QImage::Format_RGB32);
        image.fill(kUntouched);
        window->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
};

TEST(QtOverlayWindow, MaskAndBoundsFollowTheFrame) {
    FrameOnQt t;
    const std::string caption = "Recording... (Cancel=Esc)";
    const Size text = t.window->TextExtent(caption);
    EXPECT_GT(text.width, 0);
    EXPECT_GT(text.height, 0);
    EXPECT_EQ(t.window->TextExtent("").width, 0);

    t.frame.Reshape(100, 200, caption, false, 240, 320);
    EXPECT_EQ(t.window->geometry(), QRect(96, 200 - text.height - 4, 326, 246 + text.height));
    EXPECT_EQ(t.window->mask(), ToQRegion(t.frame.Region().Rects()));
    EXPECT_FALSE(t.window->mask().contains(QPoint(2, text.height + 2)));  // the hole lets the pointer through

    t.frame.Reshape(10, 20, caption, true, 100, 100);
    EXPECT_EQ(t.window->mask(), ToQRegion(t.frame.Region().Rects()));
}

TEST(QtOverlayWindow, PaintBeforeReshapeDrawsNothing) {
    FrameOnQt t;
    t.frame.PaintFrame(clRed, "Preview...");
    const QImage image = t.Render();
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3) ASSERT_EQ(image.pixel(x, y), kUntouched) << x << "," << y;
}

TEST(QtOverlayWindow, RingCarriesTheFrameColourAndCaptionSitsOnYellow) {
    FrameOnQt t;
    const std::string caption = "Preview... (Cancel=Esc)";
    const Size text = t.window->TextExtent(caption);
    const TColor colour = 0x00336699;  // red 0x99, green 0x66, blue 0x33: a swap would show
    t.frame.Reshape(100, 200, caption, false, 60, 200);
    t.frame.PaintFrame(colour, caption);
    const QImage image = t.Render();
    const int th = text.height;
    const QRgb ring = qRgb(0x99, 0x66, 0x33);
    // Ring corners and edges, 2 pixels thick.
    EXPECT_EQ(image.pixel(0, th), ring);
    EXPECT_EQ(image.pixel(1, th + 1), ring);
    EXPECT_EQ(image.pixel(205, th + 65), ring);
    EXPECT_EQ(image.pixel(204, th + 30), ring);
    EXPECT_EQ(image.pixel(100, th + 64), ring);
    // The hole is outside the mask: nothing drawn there.
    EXPECT_EQ(image.pixel(2, th + 2), kUntouched);
    EXPECT_EQ(image.pixel(203, th + 63), kUntouched);
    // The caption strip: yellow behind dark text; the band right of it is cut.
    int yellow = 0;
    int dark = 0;
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < std::min(text.width, image.width()); ++x) {
            const QRgb p = image.pixel(x, y);
            if (p == qRgb(0xFF, 0xFF, 0x00)) ++yellow;
            if (qRed(p) < 0x80 && qGreen(p) < 0x80 && qBlue(p) < 0x80) ++dark;
        }
    EXPECT_GT(yellow, dark);
    EXPECT_GT(dark, 0);
    ASSERT_LT(text.width, image.width());
    EXPECT_EQ(image.pixel(text.width, 0), kUntouched);
}

TEST(QtOverlayWindow, ShowingFollowsShowAndHideButAnEmptyShapeStaysOffScreen) {
    FrameOnQt t;
    t.frame.Reshape(50, 60, "x", false, 40, 40);
    EXPECT_FALSE(t.frame.Showing());
    t.frame.ShowOnTop();
    EXPECT_TRUE(t.frame.Showing());
    EXPECT_TRUE(t.window->isVisible());
    EXPECT_NE(t.window->NativeId(), 0u);

    t.window->SetShape({});
    EXPECT_TRUE(t.window->Showing());
    EXPECT_FALSE(t.window->isVisible());  // an empty mask would otherwise show the whole window
    t.window->SetShape({Rect{0, 0, 4, 4}});
    EXPECT_TRUE(t.window->isVisible());
    EXPECT_EQ(t.window->mask(), QRegion(0, 0, 4, 4));

    t.frame.Hide();
    EXPECT_FALSE(t.frame.Showing());
    EXPECT_FALSE(t.window->isVisible());
}

}  // namespace
}  // namespace tolm

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>

#include "DesktopFixture.h"
#include "selection/FlashingWnd.h"

namespace tolm::testing {
namespace {

constexpr std::uint32_t kBackground = 0x2468AC;  // RGB of the window beneath
constexpr TColor kFrameColour = 0x00123456;      // 0x00BBGGRR: shows as RGB 0x563412
constexpr std::uint32_t kFrameRgb = 0x563412;
constexpr std::uint32_t kCaptionBackRgb = 0xFFFF00;  // the area frame's caption: black on yellow
constexpr Rect kArea{100, 200, 320, 240};
constexpr char kCaption[] = "Recording... (Cancel=Esc)";

// What the screen should show round the area frame laid round kArea, from the frame's documented geometry.
class FrameLook {
  public:
    FrameLook(Size caption, bool cornersOnly) : caption_(caption), cornersOnly_(cornersOnly) {}

    enum class Part { background, frame, caption };

    Rect Window() const {
        return Rect{kArea.left - 4, kArea.top - caption_.height - 4, kArea.width + 6,
                    kArea.height + caption_.height + 6};
    }

    Part At(int x, int y) const {
        const Rect w = Window();
        const int wx = x - w.left;
        const int wy = y - w.top;
        const int th = caption_.height;
        if (wx < 0 || wy < 0 || wx >= w.width || wy >= w.height) return Part::background;
        if (wy < th) return wx < caption_.width ? Part::caption : Part::background;
        if (wx >= 2 && wx < kArea.width + 4 && wy >= th + 2 && wy < kArea.height + th + 4) return Part::background;
        if (cornersOnly_) {
            const bool cornerRow = wy < th + 30 || wy >= w.height - 30;
            const bool cornerColumn = wx < 30 || wx >= w.width - 30;
            if (!cornerRow || !cornerColumn) return Part::background;
        }
        return Part::frame;
    }

    // Counts the pixels of `image` (grabbed at `area`) that differ from the look; the caption's pixels may be
    // text or background but must hold some of each.
    int Mismatches(const Bitmap& image, const Rect& area, std::string* first = nullptr) const {
        int wrong = 0;
        int text = 0;
        int back = 0;
        for (int y = 0; y < image.Height(); ++y) {
            for (int x = 0; x < image.Width(); ++x) {
                const std::uint32_t seen = image.PixelRGB(x, y);
                bool ok = false;
                switch (At(area.left + x, area.top + y)) {
                    case Part::background:
                        ok = seen == kBackground;
                        break;
                    case Part::frame:
                        ok = seen == kFrameRgb;
                        break;
                    case Part::caption:
                        text += seen == 0 ? 1 : 0;
                        back += seen == kCaptionBackRgb ? 1 : 0;
                        ok = seen == 0 || seen == kCaptionBackRgb;
                        break;
                }
                if (!ok && wrong++ == 0 && first) {
                    std::ostringstream where;
                    where << "(" << area.left + x << "," << area.top + y << ") is " << std::hex << seen;
                    *first = where.str();
                }
            }
        }
        if (text == 0 || back == 0) ++wrong;
        return wrong;
    }

  private:
    Size caption_;
    bool cornersOnly_;
};

class X11OverlayTest : public DesktopFixture {
  protected:
    void SetUp() override {
        DesktopFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        beneath_ = client_.ShowWindow(Rect{40, 140, 440, 360}, kBackground);
    }

    // Shows the area frame round kArea and waits until the screen shows `look`.
    void ShowFrame(TFlashingWnd& frame, bool cornersOnly, const FrameLook& look) {
        frame.Reshape(kArea.left, kArea.top, kCaption, cornersOnly, kArea.height, kArea.width);
        frame.PaintFrame(kFrameColour, kCaption);
        frame.ShowOnTop();
        Bitmap image;
        std::string first;
        EXPECT_TRUE(WaitForScreen(loop_, *screen_, kGrab, image,
                                  [&](const Bitmap& shot) { return look.Mismatches(shot, kGrab) == 0; }));
        EXPECT_EQ(look.Mismatches(image, kGrab, &first), 0) << first;
    }

    static constexpr Rect kGrab{80, 160, 360, 300};  // the frame with some background round it
    xcb_window_t beneath_ = XCB_NONE;
};

TEST_F(X11OverlayTest, AreaFrameShowsRingAndCaptionOnlyAndNeverTheArea) {
    TFlashingWnd frame(desktop_->CreateOverlayWindow());
    const Size caption = desktop_->CreateOverlayWindow()->TextExtent(kCaption);
    ASSERT_GT(caption.height, 0);
    const FrameLook look(caption, false);
    ShowFrame(frame, false, look);
    EXPECT_EQ(frame.WindowBounds(), look.Window());

    // The hole runs from (98, 198) to (420, 440), exclusive; the ring is two pixels wide round it.
    Bitmap image;
    ASSERT_TRUE(screen_->Grab(kGrab, image));
    const auto at = [&](int x, int y) { return image.PixelRGB(x - kGrab.left, y - kGrab.top); };
    EXPECT_EQ(at(96, 300), kFrameRgb);
    EXPECT_EQ(at(97, 300), kFrameRgb);
    EXPECT_EQ(at(98, 300), kBackground);
    EXPECT_EQ(at(419, 300), kBackground);
    EXPECT_EQ(at(420, 300), kFrameRgb);
    EXPECT_EQ(at(421, 300), kFrameRgb);
    EXPECT_EQ(at(422, 300), kBackground);
    EXPECT_EQ(at(200, 197), kFrameRgb);
    EXPECT_EQ(at(200, 198), kBackground);
    EXPECT_EQ(at(200, 439), kBackground);
    EXPECT_EQ(at(200, 441), kFrameRgb);
    EXPECT_EQ(at(200, 442), kBackground);
    EXPECT_EQ(at(96 + caption.width, 196 - caption.height), kBackground);  // the cut top band

    frame.Hide();
    EXPECT_FALSE(frame.Showing());
    EXPECT_TRUE(WaitForScreen(loop_, *screen_, kGrab, image, [&](const Bitmap& shot) {
        return shot.PixelRGB(96 - kGrab.left, 300 - kGrab.top) == kBackground &&
               shot.PixelRGB(200 - kGrab.left, 441 - kGrab.top) == kBackground;
    }));
}

TEST_F(X11OverlayTest, CornersOnlyLeaveTheMiddleOfEveryEdgeUncovered) {
    TFlashingWnd frame(desktop_->CreateOverlayWindow());
    const Size caption = desktop_->CreateOverlayWindow()->TextExtent(kCaption);
    const FrameLook look(caption, true);
    ShowFrame(frame, true, look);

    Bitmap image;
    ASSERT_TRUE(screen_->Grab(kGrab, image));
    const auto at = [&](int x, int y) { return image.PixelRGB(x - kGrab.left, y - kGrab.top); };
    EXPECT_EQ(at(125, 196), kFrameRgb);  // the top-left L: 30 pixels along the top edge
    EXPECT_EQ(at(126, 196), kBackground);
    EXPECT_EQ(at(96, 225), kFrameRgb);  // and 30 down the left one
    EXPECT_EQ(at(96, 226), kBackground);
    EXPECT_EQ(at(260, 441), kBackground);  // middle of the bottom edge
    EXPECT_EQ(at(421, 320), kBackground);  // middle of the right edge
    EXPECT_EQ(at(421, 441), kFrameRgb);    // the bottom-right corner
}

// The server fills what comes back into view with the frame colour; only a repaint of ours brings the
// caption back, and that goes through the main thread.
TEST_F(X11OverlayTest, UncoveredCaptionIsRepaintedFromTheLastPaint) {
    TFlashingWnd frame(desktop_->CreateOverlayWindow());
    const Size caption = desktop_->CreateOverlayWindow()->TextExtent(kCaption);
    const FrameLook look(caption, false);
    ShowFrame(frame, false, look);

    const Rect cover{90, 175, 120, 40};
    const xcb_window_t window = client_.ShowWindow(cover, 0x00FF00);
    Bitmap image;
    ASSERT_TRUE(WaitForScreen(loop_, *screen_, cover, image, [](const Bitmap& shot) {
        return shot.PixelRGB(10, 10) == 0x00FF00 && shot.PixelRGB(100, 30) == 0x00FF00;
    }));
    client_.Unmap(window);
    std::string first;
    EXPECT_TRUE(WaitForScreen(loop_, *screen_, kGrab, image,
                              [&](const Bitmap& shot) { return look.Mismatches(shot, kGrab) == 0; }));
    EXPECT_EQ(look.Mismatches(image, kGrab, &first), 0) << first;
}

TEST_F(X11OverlayTest, CaptionsMeasureAsTheFontDrawsThem) {
    const auto overlay = desktop_->CreateOverlayWindow();
    const Size a = overlay->TextExtent("A");
    const Size ab = overlay->TextExtent("AB");
    const Size b = overlay->TextExtent("B");
    const Size empty = overlay->TextExtent("");
    EXPECT_GT(a.width, 0);
    EXPECT_EQ(ab.width, a.width + b.width);
    EXPECT_EQ(empty.width, 0);
    EXPECT_GT(a.height, 0);
    EXPECT_EQ(empty.height, a.height);  // the line height, whatever the text
    EXPECT_EQ(ab.height, a.height);
    EXPECT_EQ(overlay->TextExtent("A"), a);  // again, from the remembered measurement
}

// One text request draws at most 255 characters; a longer caption must still come out whole.
TEST_F(X11OverlayTest, CaptionLongerThanOneTextRequestIsDrawnWhole) {
    const std::string text(300, 'H');
    TFlashingWnd frame(desktop_->CreateOverlayWindow());
    const Size cell = desktop_->CreateOverlayWindow()->TextExtent("H");
    const int width = 300 * cell.width;
    ASSERT_LE(width + 20, client_.RootArea().width) << "the caption must fit on the screen";
    frame.Reshape(10, 900, text, false, 100, width);
    frame.PaintFrame(kFrameColour, text);
    frame.ShowOnTop();

    const Rect strip{6, 900 - cell.height - 4, width, cell.height};
    const auto eachCellHasText = [&](const Bitmap& shot) {
        for (int c = 0; c < 300; ++c) {
            bool ink = false;
            for (int y = 0; y < shot.Height() && !ink; ++y) {
                for (int x = c * cell.width; x < (c + 1) * cell.width && !ink; ++x) ink = shot.PixelRGB(x, y) == 0;
            }
            if (!ink) return false;
        }
        return true;
    };
    Bitmap image;
    EXPECT_TRUE(WaitForScreen(loop_, *screen_, strip, image, eachCellHasText));
    EXPECT_EQ(image.PixelRGB(width - 1, 0), kCaptionBackRgb);
}

TEST_F(X11OverlayTest, NeverTakesTheInputFocus) {
    const xcb_window_t focused = client_.ShowWindow(Rect{600, 600, 100, 100}, 0x808080, XCB_NONE, 0, true);
    client_.SetInputFocus(focused);
    ASSERT_EQ(client_.InputFocus(), focused);

    TFlashingWnd frame(desktop_->CreateOverlayWindow());
    const Size caption = desktop_->CreateOverlayWindow()->TextExtent(kCaption);
    ShowFrame(frame, false, FrameLook(caption, false));
    client_.MovePointer(Point{97, 300});  // onto the ring
    frame.Hide();
    frame.ShowOnTop();
    loop_.RunFor(std::chrono::milliseconds(50));
    client_.Sync();
    EXPECT_EQ(client_.InputFocus(), focused);
}

}  // namespace
}  // namespace tolm::testing

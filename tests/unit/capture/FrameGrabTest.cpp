#include "CameraFixture.h"
#include "imaging/Palette.h"

#include <cstring>

namespace tolm {
namespace {

using FrameGrab = CameraTest;

CursorImage SolidCursor(Point position, Point hotspot, int w, int h, std::uint32_t argb) {
    CursorImage c;
    c.visible = true;
    c.position = position;
    c.hotspot = hotspot;
    c.width = w;
    c.height = h;
    c.argb.assign(static_cast<std::size_t>(w * h), argb);
    return c;
}

TEST_F(FrameGrab, CopiesTheScreenPixelsExactly) {
    camera->SetRecordCursor(false);
    const Bitmap frame = Grab(Rect{100, 50, 64, 32});
    ASSERT_EQ(frame.Width(), 64);
    ASSERT_EQ(frame.Height(), 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) ASSERT_EQ(frame.PixelRGB(x, y), FakeScreen::PatternColor(100 + x, 50 + y));
}

TEST_F(FrameGrab, AreaOffTheDesktopIsBlackThere) {
    camera->SetRecordCursor(false);
    const Bitmap frame = Grab(Rect{-10, 1070, 20, 20});
    EXPECT_EQ(frame.PixelRGB(0, 0), 0u);
    EXPECT_EQ(frame.PixelRGB(15, 15), 0u);  // below the screen
    EXPECT_EQ(frame.PixelRGB(10, 0), FakeScreen::PatternColor(0, 1070));
}

TEST_F(FrameGrab, InvertFlipsEveryColourBit) {
    camera->SetRecordCursor(false);
    screen.FillRect(Rect{0, 0, 10, 10}, 0x123456);
    Bitmap target;
    camera->CaptureFrame(TCaptureMode::cmBitmap, &target, 0, 0, 4, 4, true);
    EXPECT_EQ(target.PixelRGB(2, 2), 0xEDCBA9u);
}

TEST_F(FrameGrab, CursorLandsAtPointerMinusHotSpot) {
    screen.FillRect(Rect{0, 0, 200, 200}, 0x000000);
    screen.SetCursor(SolidCursor({50, 40}, {3, 2}, 4, 4, 0xFFFFFFFF));
    const Bitmap frame = Grab(Rect{10, 10, 100, 100});
    // Top-left of the image: 50 - 10 - 3 = 37, 40 - 10 - 2 = 28.
    EXPECT_EQ(frame.PixelRGB(37, 28), 0xFFFFFFu);
    EXPECT_EQ(frame.PixelRGB(40, 31), 0xFFFFFFu);
    EXPECT_EQ(frame.PixelRGB(36, 28), 0u);
    EXPECT_EQ(frame.PixelRGB(41, 31), 0u);
}

TEST_F(FrameGrab, CursorIsBlendedByItsAlpha) {
    screen.FillRect(Rect{0, 0, 10, 10}, 0xFFFFFF);
    // Half-transparent black, premultiplied: colour 0, alpha 128.
    screen.SetCursor(SolidCursor({0, 0}, {0, 0}, 1, 1, 0x80000000));
    const Bitmap frame = Grab(Rect{0, 0, 2, 2});
    EXPECT_EQ(frame.PixelRGB(0, 0), 0x7F7F7Fu);
    EXPECT_EQ(frame.PixelRGB(1, 1), 0xFFFFFFu);
}

TEST_F(FrameGrab, CursorLeftOfTheAreaIsClipped) {
    screen.FillRect(Rect{0, 0, 200, 200}, 0x000000);
    screen.SetCursor(SolidCursor({12, 12}, {4, 4}, 8, 8, 0xFF00FF00));
    const Bitmap frame = Grab(Rect{10, 10, 20, 20});
    EXPECT_EQ(frame.PixelRGB(0, 0), 0x00FF00u);
    EXPECT_EQ(frame.PixelRGB(5, 5), 0x00FF00u);
    EXPECT_EQ(frame.PixelRGB(6, 6), 0u);
}

TEST_F(FrameGrab, HiddenOrUnrecordedCursorIsNotDrawn) {
    screen.FillRect(Rect{0, 0, 100, 100}, 0x000000);
    CursorImage hidden = SolidCursor({5, 5}, {0, 0}, 4, 4, 0xFFFFFFFF);
    hidden.visible = false;
    screen.SetCursor(hidden);
    EXPECT_EQ(Grab(Rect{0, 0, 20, 20}).PixelRGB(6, 6), 0u);

    screen.SetCursor(SolidCursor({5, 5}, {0, 0}, 4, 4, 0xFFFFFFFF));
    camera->SetRecordCursor(false);
    EXPECT_EQ(Grab(Rect{0, 0, 20, 20}).PixelRGB(6, 6), 0u);
}

TEST_F(FrameGrab, ModesDecideBetweenBitmapAndDib) {
    camera->SetColors(TPixelFormat::pf16bit);
    Bitmap target;
    EXPECT_FALSE(camera->CaptureFrame(TCaptureMode::cmBitmap, &target, 0, 0, 8, 8, false).has_value());
    EXPECT_EQ(target.Width(), 8);
    EXPECT_EQ(target.PixelFormat(), TPixelFormat::pf16bit);

    Bitmap untouched(3, 3);
    std::optional<PackedDib> dib = camera->CaptureFrame(TCaptureMode::cmDib, &untouched, 0, 0, 8, 8, false);
    ASSERT_TRUE(dib.has_value());
    EXPECT_EQ(dib->Header().biBitCount, 16);
    EXPECT_EQ(untouched.Width(), 3);

    Bitmap both;
    dib = camera->CaptureFrame(TCaptureMode::cmBitmapAndDib, &both, 0, 0, 8, 8, false);
    ASSERT_TRUE(dib.has_value());
    EXPECT_EQ(both.Width(), 8);
}

// The DIB and the preview must show the same picture in every colour depth.
TEST_F(FrameGrab, DibMatchesTheBitmapInEveryDepth) {
    camera->SetRecordCursor(false);
    for (TPixelFormat f : {TPixelFormat::pf8bit, TPixelFormat::pf16bit, TPixelFormat::pf24bit, TPixelFormat::pf32bit}) {
        camera->SetColors(f);
        Bitmap target;
        std::optional<PackedDib> dib = camera->CaptureFrame(TCaptureMode::cmBitmapAndDib, &target, 7, 3, 13, 5, false);
        ASSERT_TRUE(dib.has_value());
        const std::size_t stride = dib->Header().biSizeImage / 5;
        for (int y = 0; y < 5; ++y) {
            const std::uint8_t* dibRow = dib->Bits() + (4 - y) * stride;
            const std::size_t used = static_cast<std::size_t>(13 * BitsPerPixel(f) / 8);
            for (std::size_t i = 0; i < used; ++i) {
                if (f == TPixelFormat::pf32bit && i % 4 == 3) continue;
                ASSERT_EQ(dibRow[i], target.ScanLine(y)[i]) << BitsPerPixel(f) << " bits, row " << y << " byte " << i;
            }
        }
    }
}

// A 32-bit frame without effects goes straight into the DIB's rows: the same bytes, cursor and black border
// included, as packing the frame the bitmap path makes.
TEST_F(FrameGrab, DirectDibHoldsWhatTheBitmapPathPacks) {
    screen.SetCursor(SolidCursor({3, 1070}, {1, 1}, 4, 4, 0x80800000));
    const Rect area{-2, 1066, 13, 7};
    PackedDib::Error error = PackedDib::Error::none;
    const std::optional<PackedDib> expected = PackedDib::FromBitmap(Grab(area), 32, error);
    const std::optional<PackedDib> dib =
        camera->CaptureFrame(TCaptureMode::cmDib, nullptr, area.left, area.top, area.width, area.height, false);
    ASSERT_TRUE(dib.has_value());
    ASSERT_EQ(dib->Size(), expected->Size());
    EXPECT_EQ(std::memcmp(dib->Data(), expected->Data(), dib->Size()), 0);
}

TEST_F(FrameGrab, LowDepthDibsHoldTheScreenColoursReduced) {
    camera->SetRecordCursor(false);
    camera->SetColors(TPixelFormat::pf16bit);
    std::optional<PackedDib> dib = camera->CaptureFrame(TCaptureMode::cmDib, nullptr, 40, 30, 8, 2, false);
    ASSERT_TRUE(dib.has_value());
    const std::uint32_t c = FakeScreen::PatternColor(40 + 3, 30 + 1);  // top row is the DIB's last
    const unsigned expected = (c >> 19 & 31) << 10 | (c >> 11 & 31) << 5 | (c >> 3 & 31);
    EXPECT_EQ(dib->Bits()[6] | dib->Bits()[7] << 8, static_cast<int>(expected));

    camera->SetColors(TPixelFormat::pf8bit);
    dib = camera->CaptureFrame(TCaptureMode::cmDib, nullptr, 40, 30, 8, 2, false);
    const std::uint32_t c8 = FakeScreen::PatternColor(40 + 3, 30);
    EXPECT_EQ(FixedPalette()[dib->Bits()[8 + 3]],
              FixedPalette()[PaletteIndex(static_cast<std::uint8_t>(c8 >> 16), static_cast<std::uint8_t>(c8 >> 8),
                                          static_cast<std::uint8_t>(c8))]);
}

TEST_F(FrameGrab, OverlayWithEffectsIsInvertedWithTheFrame) {
    camera->SetRecordCursor(false);
    screen.FillRect(Rect{0, 0, 50, 50}, 0x000000);
    camera->SetUseFilters({TUseFilter::UseReverseColor});
    camera->SetOvelayDrawing(true);
    camera->OnOverlay = [](TScreenCamera&, Bitmap& frame, int, int) { frame.SetPixelRGB(1, 1, 0xFFFFFF); };

    camera->SetEffectToOvelayDraw(true);
    Bitmap frame = Grab(Rect{0, 0, 10, 10});
    EXPECT_EQ(frame.PixelRGB(1, 1), 0x000000u);  // white text comes out black
    EXPECT_EQ(frame.PixelRGB(2, 2), 0xFFFFFFu);  // inverted black screen

    camera->SetEffectToOvelayDraw(false);
    frame = Grab(Rect{0, 0, 10, 10});
    EXPECT_EQ(frame.PixelRGB(1, 1), 0xFFFFFFu);
}

TEST_F(FrameGrab, OverlayNeedsBothTheSwitchAndAHandler) {
    int calls = 0;
    camera->OnOverlay = [&](TScreenCamera&, Bitmap&, int w, int h) {
        ++calls;
        EXPECT_EQ(w, 10);
        EXPECT_EQ(h, 6);
    };
    Grab(Rect{0, 0, 10, 6});
    EXPECT_EQ(calls, 0);
    camera->SetOvelayDrawing(true);
    Grab(Rect{0, 0, 10, 6});
    EXPECT_EQ(calls, 1);
}

TEST_F(FrameGrab, EffectsRunOnTheFrame) {
    camera->SetRecordCursor(false);
    screen.FillRect(Rect{0, 0, 10, 10}, 0x804020);
    camera->SetUseFilters({TUseFilter::UseGrayScale});
    const Bitmap frame = Grab(Rect{0, 0, 4, 4});
    const std::uint32_t p = frame.PixelRGB(0, 0);
    EXPECT_EQ(p >> 16 & 0xFF, p & 0xFF);
    EXPECT_EQ(p >> 8 & 0xFF, p & 0xFF);
}

TEST_F(FrameGrab, WideLowDepthFramesRefuseEachEffectOnce) {
    camera->SetRecordCursor(false);
    screen.FillRect(Rect{0, 0, 1280, 4}, 0x404040);
    camera->SetColors(TPixelFormat::pf16bit);
    camera->SetUseFilters({TUseFilter::UseBrightness, TUseFilter::UseGrayScale, TUseFilter::UseRotateImage});
    camera->FilterValues().SetIndexedValue(8, 255);

    Bitmap frame = Grab(Rect{0, 0, 1280, 4});
    ASSERT_EQ(host.Notices().size(), 2u);
    for (const auto& n : host.Notices()) {
        EXPECT_EQ(n.title, "Notice");
        EXPECT_EQ(n.text, "In mode 8-bit or 16-bit with width image 1280 effect setting is not possible.");
        EXPECT_EQ(n.icon, NoticeIcon::error);
    }
    EXPECT_EQ(camera->UseFilters(), (TUseFilters{TUseFilter::UseRotateImage}));  // rotation is never refused

    frame = Grab(Rect{0, 0, 1280, 4});
    EXPECT_EQ(host.Notices().size(), 2u);

    camera->SetColors(TPixelFormat::pf24bit);
    camera->SetUseFilters({TUseFilter::UseBrightness});
    frame = Grab(Rect{0, 0, 1280, 4});
    EXPECT_EQ(host.Notices().size(), 2u);
    EXPECT_EQ(frame.PixelRGB(5, 1), 0xFFFFFFu);
}

// A 640x360 area turned a quarter: the stream keeps its size, and the whole turned picture (203x360) stands in
// its middle, black beside it; none of it is cut off.
TEST_F(FrameGrab, QuarterTurnKeepsTheAreaSizeAndTheWholePicture) {
    camera->SetRecordCursor(false);
    const std::uint32_t red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF, white = 0xFFFFFF;
    screen.FillRect(Rect{0, 0, 320, 180}, red);
    screen.FillRect(Rect{320, 0, 320, 180}, green);
    screen.FillRect(Rect{0, 180, 320, 180}, blue);
    screen.FillRect(Rect{320, 180, 320, 180}, white);
    camera->SetUseFilters({TUseFilter::UseRotateImage});
    constexpr int kLeft = 218, kRight = 218 + 202;  // the fit's first and last columns
    for (const TScreenRotate turn : {TScreenRotate::RLeft, TScreenRotate::RRight}) {
        camera->FilterValues().SetTypeScreenRotate(turn);
        const Bitmap frame = Grab(Rect{0, 0, 640, 360});
        ASSERT_EQ(frame.Width(), 640);
        ASSERT_EQ(frame.Height(), 360);
        const bool left = turn == TScreenRotate::RLeft;
        EXPECT_EQ(frame.PixelRGB(kLeft, 0), left ? green : blue);
        EXPECT_EQ(frame.PixelRGB(kRight, 0), left ? white : red);
        EXPECT_EQ(frame.PixelRGB(kLeft, 359), left ? red : white);
        EXPECT_EQ(frame.PixelRGB(kRight, 359), left ? blue : green);
        EXPECT_EQ(frame.PixelRGB(kLeft - 1, 180), 0u);
        EXPECT_EQ(frame.PixelRGB(kRight + 1, 180), 0u);
    }
}

TEST_F(FrameGrab, HorizontalMirrorReversesEachRow) {
    camera->SetRecordCursor(false);
    camera->SetUseFilters({TUseFilter::UseRotateImage});
    camera->FilterValues().SetTypeScreenRotate(TScreenRotate::RHorizontal);
    const Bitmap frame = Grab(Rect{20, 30, 9, 4});
    for (int x = 0; x < 9; ++x) EXPECT_EQ(frame.PixelRGB(x, 2), FakeScreen::PatternColor(20 + 8 - x, 32));
}

TEST_F(FrameGrab, LostDisplayGivesNoDibAndAReason) {
    screen.Disconnect();
    std::optional<PackedDib> dib = camera->CaptureFrame(TCaptureMode::cmDib, nullptr, 0, 0, 10, 10, false);
    EXPECT_FALSE(dib.has_value());
    EXPECT_EQ(camera->LastGrabError(), "Lost the connection to the X display.");
    EXPECT_TRUE(events.empty());
}

TEST_F(FrameGrab, EmptyAreaCancelsWithRetrieveError) {
    Globals().StopReason = TStopReason::StopAndSave;
    std::optional<PackedDib> dib = camera->CaptureFrame(TCaptureMode::cmDib, nullptr, 0, 0, 0, 10, false);
    ASSERT_TRUE(dib.has_value());
    EXPECT_EQ(events, (std::vector<std::string>{"error:Error retrieving image bits", "stop"}));
    EXPECT_EQ(Globals().StopReason.load(), TStopReason::Cancel);
    EXPECT_FALSE(camera->Recording());
}

}  // namespace
}  // namespace tolm

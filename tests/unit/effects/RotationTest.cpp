#include <gtest/gtest.h>

#include <cstring>

#include "ReferenceFilters.h"
#include "effects/Rotation.h"

namespace tolm {
namespace {

// Pixel (x, y) gets the colour 0x00YYXX plus a fourth byte that rotation must drop.
Bitmap Numbered(int width, int height) {
    Bitmap frame(width, height, TPixelFormat::pf32bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            frame.SetPixelRGB(x, y, static_cast<std::uint32_t>(0x010000 | y << 8 | x));
            frame.ScanLine(y)[4 * x + 3] = 0x77;
        }
    return frame;
}

std::uint32_t Word(const Bitmap& f, int x, int y) {
    std::uint32_t w;
    std::memcpy(&w, f.ScanLine(y) + 4 * x, 4);
    return w;
}

std::uint32_t Source(int x, int y) {
    return static_cast<std::uint32_t>(0x010000 | y << 8 | x);
}

TEST(RotationTest, FourByTwoLeftPutsTopRightAtTopLeft) {
    Bitmap turned(9, 9, TPixelFormat::pf8bit);
    RotateBitmap(Numbered(4, 2), turned, 90.0);
    ASSERT_EQ(turned.Width(), 2);
    ASSERT_EQ(turned.Height(), 4);
    EXPECT_EQ(turned.PixelFormat(), TPixelFormat::pf32bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(Word(turned, x, y), Source(3 - y, x)) << x << "," << y;
}

TEST(RotationTest, FiveByThreeLeftLosesColumnFourAndBlacksTheBottomRow) {
    Bitmap turned;
    RotateBitmap(Numbered(5, 3), turned, 90.0);
    ASSERT_EQ(turned.Width(), 3);
    ASSERT_EQ(turned.Height(), 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(Word(turned, x, y), y < 4 ? Source(3 - y, x) : 0u) << x << "," << y;
}

TEST(RotationTest, FiveByThreeRightLosesRowTwoAndBlacksTheRightColumn) {
    Bitmap turned;
    RotateBitmap(Numbered(5, 3), turned, 270.0);
    ASSERT_EQ(turned.Width(), 3);
    ASSERT_EQ(turned.Height(), 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(Word(turned, x, y), x < 2 ? Source(y, 1 - x) : 0u) << x << "," << y;
}

TEST(RotationTest, OtherFormatsAreReadAsTheirColours) {
    for (TPixelFormat format : {TPixelFormat::pf8bit, TPixelFormat::pf16bit, TPixelFormat::pf24bit}) {
        const Bitmap source = test::RandomFrame(7, 5, format, 21);
        Bitmap wide(7, 5, TPixelFormat::pf32bit);
        wide.Draw(0, 0, source);
        Bitmap fromSource, fromWide;
        RotateBitmap(source, fromSource, 270.0);
        RotateBitmap(wide, fromWide, 270.0);
        ASSERT_EQ(fromSource.ByteSize(), fromWide.ByteSize());
        EXPECT_EQ(std::memcmp(fromSource.Bits(), fromWide.Bits(), fromSource.ByteSize()), 0)
            << static_cast<int>(format);
    }
}

TEST(RotationTest, EmptySourceLeavesDestinationAlone) {
    Bitmap destination = Numbered(3, 2);
    RotateBitmap(Bitmap(0, 5), destination, 90.0);
    EXPECT_EQ(destination.Width(), 3);
    EXPECT_EQ(Word(destination, 2, 1) & 0xFFFFFF, Source(2, 1));
}

TEST(TurnToFitTest, ASquareIsTurnedExactly) {
    for (const bool clockwise : {false, true}) {
        Bitmap picture = Numbered(4, 4), scratch, turned;
        TurnQuarterToFit(picture, clockwise, scratch);
        RotateBitmap(Numbered(4, 4), turned, clockwise ? 270.0 : 90.0);
        ASSERT_EQ(picture.ByteSize(), turned.ByteSize());
        EXPECT_EQ(std::memcmp(picture.Bits(), turned.Bits(), turned.ByteSize()), 0) << clockwise;
    }
}

// 8x4 turned is 4x8, fitted at 2x4 into columns 3 and 4: each pixel the nearest one to its centre.
TEST(TurnToFitTest, AWideOneKeepsItsSizeWithTheTurnedPictureScaledIntoItsMiddle) {
    Bitmap picture = Numbered(8, 4), scratch;
    TurnQuarterToFit(picture, false, scratch);
    ASSERT_EQ(picture.Width(), 8);
    ASSERT_EQ(picture.Height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(Word(picture, x, y), x == 3 || x == 4 ? Source(6 - 2 * y, 2 * (x - 3) + 1) : 0u) << x << "," << y;
}

TEST(FlipTest, ModesMirrorWholePixelsInEveryFormat) {
    for (TPixelFormat format :
         {TPixelFormat::pf8bit, TPixelFormat::pf16bit, TPixelFormat::pf24bit, TPixelFormat::pf32bit}) {
        const Bitmap original = test::RandomFrame(5, 3, format, 4);
        Bitmap horizontal = original, vertical = original, both = original;
        FlipBitmap(horizontal, 0);
        FlipBitmap(vertical, 1);
        FlipBitmap(both, 2);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                ASSERT_EQ(horizontal.PixelRGB(x, y), original.PixelRGB(4 - x, y));
                ASSERT_EQ(vertical.PixelRGB(x, y), original.PixelRGB(x, 2 - y));
                ASSERT_EQ(both.PixelRGB(x, y), original.PixelRGB(4 - x, 2 - y));
            }
        FlipBitmap(both, 2);
        EXPECT_EQ(std::memcmp(both.Bits(), original.Bits(), original.ByteSize()), 0);
    }
}

TEST(FlipTest, UnknownModesChangeNothing) {
    const Bitmap original = test::RandomFrame(4, 4, TPixelFormat::pf24bit, 9);
    Bitmap frame = original;
    FlipBitmap(frame, 3);
    FlipBitmap(frame, -1);
    EXPECT_EQ(std::memcmp(frame.Bits(), original.Bits(), original.ByteSize()), 0);
}

}  // namespace
}  // namespace tolm

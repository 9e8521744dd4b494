#include "imaging/Bitmap.h"

#include <gtest/gtest.h>

#include "imaging/Palette.h"

namespace tolm {
namespace {

Bitmap Gradient(int w, int h) {
    Bitmap b(w, h, TPixelFormat::pf32bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixelRGB(x, y,
                          static_cast<std::uint32_t>((x * 37 + y) & 0xFF) << 16 |
                              static_cast<std::uint32_t>((y * 53 + x * 3) & 0xFF) << 8 |
                              static_cast<std::uint32_t>((x * y) & 0xFF));
    return b;
}

TEST(BitmapFormat, NormalisesUnsupportedFormats) {
    EXPECT_EQ(Bitmap(1, 1, TPixelFormat::pf15bit).PixelFormat(), TPixelFormat::pf16bit);
    EXPECT_EQ(Bitmap(1, 1, TPixelFormat::pf1bit).PixelFormat(), TPixelFormat::pf32bit);
    EXPECT_EQ(Bitmap(1, 1, TPixelFormat::pfDevice).BitCount(), 32);
    EXPECT_EQ(Bitmap(301, 1, TPixelFormat::pf16bit).RowBytes(), 604u);
    EXPECT_EQ(Bitmap(301, 1, TPixelFormat::pf8bit).RowBytes(), 304u);
}

// A frame passes through its colour format more than once; only the first pass may lose anything.
class FormatRoundTrip : public ::testing::TestWithParam<TPixelFormat> {};

TEST_P(FormatRoundTrip, IsStableAfterTheFirstPass) {
    Bitmap once = Gradient(67, 23);
    once.SetPixelFormat(GetParam());
    once.SetPixelFormat(TPixelFormat::pf32bit);
    Bitmap twice = once;
    twice.SetPixelFormat(GetParam());
    twice.SetPixelFormat(TPixelFormat::pf32bit);
    for (int y = 0; y < once.Height(); ++y)
        for (int x = 0; x < once.Width(); ++x) ASSERT_EQ(once.PixelRGB(x, y), twice.PixelRGB(x, y)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatRoundTrip,
                         ::testing::Values(TPixelFormat::pf8bit, TPixelFormat::pf16bit, TPixelFormat::pf24bit),
                         [](const auto& info) { return "bits" + std::to_string(BitsPerPixel(info.param)); });

TEST(BitmapFormat, TwentyFourBitsKeepEveryColour) {
    const Bitmap source = Gradient(31, 7);
    Bitmap copy = source;
    copy.SetPixelFormat(TPixelFormat::pf24bit);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 31; ++x) ASSERT_EQ(copy.PixelRGB(x, y), source.PixelRGB(x, y));
}

TEST(BitmapFormat, SixteenBitsAreRgb555) {
    Bitmap b(1, 1, TPixelFormat::pf16bit);
    b.SetPixelRGB(0, 0, 0xFF0000);
    EXPECT_EQ(b.ScanLine(0)[0] | b.ScanLine(0)[1] << 8, 0x7C00);
    EXPECT_EQ(b.PixelRGB(0, 0), 0xFF0000u);
}

TEST(Palette, EveryEntryMapsToItsOwnColour) {
    for (std::uint32_t p : FixedPalette()) {
        const std::uint8_t i = PaletteIndex(static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                                            static_cast<std::uint8_t>(p));
        ASSERT_EQ(FixedPalette()[i], p);
    }
    EXPECT_EQ(FixedPalette()[PaletteIndex(0, 0, 0)], 0u);
    EXPECT_EQ(FixedPalette()[PaletteIndex(255, 255, 255)], 0xFFFFFFu);
}

TEST(BitmapDraw, ClipsAtEveryEdge) {
    Bitmap dst(4, 4, TPixelFormat::pf24bit);
    Bitmap src(3, 3, TPixelFormat::pf32bit);
    src.Fill(0x123456);
    dst.Draw(-2, 2, src);  // only column 0, rows 2..3 are covered
    EXPECT_EQ(dst.PixelRGB(0, 2), 0x123456u);
    EXPECT_EQ(dst.PixelRGB(0, 3), 0x123456u);
    EXPECT_EQ(dst.PixelRGB(1, 2), 0u);
    EXPECT_EQ(dst.PixelRGB(0, 1), 0u);
    dst.Draw(10, 10, src);  // entirely outside: nothing happens
    dst.Draw(-3, 0, src);
    EXPECT_EQ(dst.PixelRGB(0, 0), 0u);
}

}  // namespace
}  // namespace tolm

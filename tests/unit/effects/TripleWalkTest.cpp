#include <gtest/gtest.h>

#include <vector>

#include "ReferenceFilters.h"
#include "effects/PixelFilters.h"

namespace tolm {
namespace {

struct WalkCase {
    TPixelFormat format;
    int width;
    std::size_t bytesPerRow;  // bytes the triple walk covers, worked out by hand from the triple table
};

// Rows of three, so a walk running into the next row shows as bytes processed twice.
class TripleWalkTest : public ::testing::TestWithParam<WalkCase> {};

TEST_P(TripleWalkTest, CoversExactlyTheWholeTriplesThatFit) {
    const WalkCase c = GetParam();
    Bitmap frame(c.width, 3, c.format);
    ApplyBrightness(frame, 128);  // 0 -> 128 once, 128 -> 191 if a byte were processed twice
    for (int y = 0; y < 3; ++y) {
        const std::uint8_t* row = frame.ScanLine(y);
        for (std::size_t i = 0; i < frame.RowBytes(); ++i)
            ASSERT_EQ(row[i], i < c.bytesPerRow ? 128 : 0) << "row " << y << " byte " << i;
    }
}

TEST_P(TripleWalkTest, NoFilterChangesBytesPastTheWalk) {
    const WalkCase c = GetParam();
    const Bitmap original = test::RandomFrame(c.width, 3, c.format, 7);
    const bool pixelWalk = c.format == TPixelFormat::pf32bit;
    const std::size_t pixelBytes = 4 * static_cast<std::size_t>(c.width);
    const std::vector<void (*)(Bitmap&)> filters = {[](Bitmap& f) { ApplyContrast(f, 200); },
                                                    [](Bitmap& f) { ApplyDarkness(f, 90); },
                                                    [](Bitmap& f) { ApplySaturation(f, 600); },
                                                    [](Bitmap& f) { ApplyColorNoise(f, 120); },
                                                    [](Bitmap& f) { ApplyMonoNoise(f, 120); },
                                                    [](Bitmap& f) { ApplyPosterize(f, 40); },
                                                    [](Bitmap& f) { ApplyColorAdjust(f, 9, -9, 99); },
                                                    [](Bitmap& f) { ApplyGrayScale(f); },
                                                    [](Bitmap& f) { ApplySepia(f); }};
    for (std::size_t k = 0; k < filters.size(); ++k) {
        Bitmap frame = original;
        filters[k](frame);
        // Saturation, colour adjust, grey and sepia walk whole pixels in 32-bit frames (indices 2, 6, 7, 8).
        const bool walksPixels = pixelWalk && (k == 2 || k >= 6);
        const std::size_t limit = walksPixels ? pixelBytes : c.bytesPerRow;
        for (int y = 0; y < 3; ++y)
            for (std::size_t i = limit; i < frame.RowBytes(); ++i)
                ASSERT_EQ(frame.ScanLine(y)[i], original.ScanLine(y)[i]) << "filter " << k << " row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Widths, TripleWalkTest,
    ::testing::Values(WalkCase{TPixelFormat::pf24bit, 4, 12}, WalkCase{TPixelFormat::pf32bit, 5, 18},
                      WalkCase{TPixelFormat::pf32bit, 6, 24}, WalkCase{TPixelFormat::pf8bit, 4, 3},
                      WalkCase{TPixelFormat::pf8bit, 5, 6}, WalkCase{TPixelFormat::pf8bit, 7, 6},
                      WalkCase{TPixelFormat::pf8bit, 1282, 1284}, WalkCase{TPixelFormat::pf8bit, 1280, 1278},
                      WalkCase{TPixelFormat::pf16bit, 4, 6}, WalkCase{TPixelFormat::pf16bit, 5, 12},
                      WalkCase{TPixelFormat::pf16bit, 7, 15}, WalkCase{TPixelFormat::pf16bit, 1282, 2562},
                      WalkCase{TPixelFormat::pf24bit, 1, 3}, WalkCase{TPixelFormat::pf32bit, 1, 3}));

TEST(PixelWalkTest, ThirtyTwoBitPixelFiltersKeepEveryFourthByte) {
    Bitmap frame(5, 2, TPixelFormat::pf32bit);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x) frame.ScanLine(y)[4 * x + 3] = 0xAB;
    Bitmap sepia = frame;
    ApplySepia(sepia);
    Bitmap adjusted = frame;
    ApplyColorAdjust(adjusted, 30, 20, 10);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x) {
            const std::uint8_t* s = sepia.ScanLine(y) + 4 * x;
            EXPECT_EQ((std::vector<int>{s[0], s[1], s[2], s[3]}), (std::vector<int>{0, 34, 68, 0xAB})) << x;
            const std::uint8_t* a = adjusted.ScanLine(y) + 4 * x;
            EXPECT_EQ((std::vector<int>{a[0], a[1], a[2], a[3]}), (std::vector<int>{10, 20, 30, 0xAB})) << x;
        }
}

TEST(EffectsAllowedTest, RefusesOnly1280WideEightAndSixteenBitFrames) {
    EXPECT_FALSE(EffectsAllowed(nullptr));
    const Bitmap eight(1280, 2, TPixelFormat::pf8bit), sixteen(1280, 2, TPixelFormat::pf16bit);
    const Bitmap fifteen(1280, 2, TPixelFormat::pf15bit);
    EXPECT_FALSE(EffectsAllowed(&eight));
    EXPECT_FALSE(EffectsAllowed(&sixteen));
    EXPECT_FALSE(EffectsAllowed(&fifteen));
    const Bitmap allowed[] = {Bitmap(1280, 2, TPixelFormat::pf24bit), Bitmap(1280, 2, TPixelFormat::pf32bit),
                              Bitmap(1279, 2, TPixelFormat::pf8bit), Bitmap(1281, 2, TPixelFormat::pf16bit),
                              Bitmap(1282, 2, TPixelFormat::pf8bit)};
    for (const Bitmap& frame : allowed) EXPECT_TRUE(EffectsAllowed(&frame)) << frame.Width() << "x" << frame.BitCount();
}

}  // namespace
}  // namespace tolm

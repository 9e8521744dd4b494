#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "ReferenceFilters.h"
#include "effects/FilterKernels.h"
#include "effects/PixelFilters.h"

namespace tolm {
namespace {

// A 24-bit row whose pixel x has all three bytes equal to x, so a per-byte filter's result for byte value x
// is the byte at 3x.
Bitmap Ramp() {
    Bitmap frame(256, 1, TPixelFormat::pf24bit);
    for (int x = 0; x < 256; ++x) std::memset(frame.ScanLine(0) + 3 * x, x, 3);
    return frame;
}

int At(const Bitmap& ramp, int value) {
    return ramp.ScanLine(0)[3 * value];
}

bool SameBytes(const Bitmap& a, const Bitmap& b) {
    return a.ByteSize() == b.ByteSize() && std::memcmp(a.Bits(), b.Bits(), a.ByteSize()) == 0;
}

const TPixelFormat kFormats[] = {TPixelFormat::pf8bit, TPixelFormat::pf16bit, TPixelFormat::pf24bit,
                                 TPixelFormat::pf32bit};

TEST(FilterValueTest, BrightnessExtremes) {
    Bitmap up = Ramp();
    ApplyBrightness(up, 255);
    for (int c = 0; c < 256; ++c) ASSERT_EQ(At(up, c), 255) << c;
    Bitmap down = Ramp();
    ApplyBrightness(down, -255);
    EXPECT_EQ(At(down, 200), 145);
    EXPECT_EQ(At(down, 255), 255);
    for (int c = 0; c <= 127; ++c) ASSERT_EQ(At(down, c), 0) << c;
}

TEST(FilterValueTest, DarknessFullTurnsEveryByteBlack) {
    Bitmap frame = Ramp();
    ApplyDarkness(frame, 255);
    for (int c = 0; c < 256; ++c) ASSERT_EQ(At(frame, c), 0) << c;
}

TEST(FilterValueTest, ContrastMovesAwayFrom127AndKeeps127) {
    Bitmap frame = Ramp();
    ApplyContrast(frame, 255);
    EXPECT_EQ(At(frame, 128), 129);
    EXPECT_EQ(At(frame, 126), 125);
    EXPECT_EQ(At(frame, 0), 0);
    EXPECT_EQ(At(frame, 255), 255);
    for (int v : {-255, 1, 2550, std::numeric_limits<std::int32_t>::max()}) {
        Bitmap f = Ramp();
        ApplyContrast(f, v);
        EXPECT_EQ(At(f, 127), 127) << v;
    }
}

TEST(FilterValueTest, SaturationFullKeepsFrameAndZeroEqualsGreyScale) {
    for (TPixelFormat format : kFormats) {
        const Bitmap original = test::RandomFrame(37, 3, format, 11);
        Bitmap same = original;
        ApplySaturation(same, 255);
        EXPECT_TRUE(SameBytes(same, original)) << static_cast<int>(format);
        Bitmap zero = original, grey = original;
        ApplySaturation(zero, 0);
        ApplyGrayScale(grey);
        EXPECT_TRUE(SameBytes(zero, grey)) << static_cast<int>(format);
    }
}

TEST(FilterValueTest, PosterizeOneKeepsFrameAndFiveHundredSplitsAtAHalf) {
    const Bitmap original = test::RandomFrame(50, 4, TPixelFormat::pf32bit, 3);
    for (int p : {1, 0, -4}) {
        Bitmap frame = original;
        ApplyPosterize(frame, p);
        EXPECT_TRUE(SameBytes(frame, original)) << p;
    }
    Bitmap frame = Ramp();
    ApplyPosterize(frame, 500);
    for (int c = 0; c < 256; ++c) ASSERT_EQ(At(frame, c), c <= 250 ? 0 : 255) << c;
}

TEST(FilterValueTest, SepiaKeepsWhiteAndTintsBlack) {
    Bitmap frame(2, 1, TPixelFormat::pf24bit);
    frame.SetPixelRGB(0, 0, 0xFFFFFF);
    ApplySepia(frame);
    EXPECT_EQ(frame.PixelRGB(0, 0), 0xFFFFFFu);
    EXPECT_EQ(frame.PixelRGB(1, 0), 0x442200u);  // red 68, green 34, blue 0
}

TEST(FilterValueTest, ColourAdjustClampsWithoutOverflow) {
    Bitmap frame(1, 1, TPixelFormat::pf24bit);
    frame.SetPixelRGB(0, 0, 0x808080);
    ApplyColorAdjust(frame, std::numeric_limits<std::int32_t>::max(), -300, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(frame.PixelRGB(0, 0), 0xFF0000u);
    ApplyColorAdjust(frame, -1, 17, 255);
    EXPECT_EQ(frame.PixelRGB(0, 0), 0xFE11FFu);
}

// Every colour once: the grey filter must equal the extended-precision formula for all 2^24 inputs, with
// each kernel set.
TEST(FilterValueTest, GreyLevelMatchesExtendedFormulaForEveryColour) {
    Bitmap all(4096, 4096, TPixelFormat::pf32bit);
    for (std::uint32_t i = 0; i < (1u << 24); ++i) {
        std::uint8_t* p = all.Bits() + 4 * static_cast<std::size_t>(i);
        p[0] = static_cast<std::uint8_t>(i), p[1] = static_cast<std::uint8_t>(i >> 8);
        p[2] = static_cast<std::uint8_t>(i >> 16), p[3] = 0x5A;
    }
    for (KernelSet set : {KernelSet::Plain, KernelSet::UpToAvx2, KernelSet::Widest}) {
        LimitKernels(set);
        Bitmap grey = all;
        ApplyGrayScale(grey);
        LimitKernels(KernelSet::Widest);
        for (std::uint32_t i = 0; i < (1u << 24); ++i) {
            const std::uint8_t* p = grey.Bits() + 4 * static_cast<std::size_t>(i);
            const std::uint8_t expected = test::ReferenceGrey(
                static_cast<int>(i >> 16), static_cast<int>((i >> 8) & 0xFF), static_cast<int>(i & 0xFF));
            ASSERT_TRUE(p[0] == expected && p[1] == expected && p[2] == expected && p[3] == 0x5A)
                << "colour " << std::hex << i << " kernel set " << static_cast<int>(set);
        }
    }
}

}  // namespace
}  // namespace tolm

#include <gtest/gtest.h>

#include <cstring>

#include "ReferenceFilters.h"
#include "effects/EffectRandom.h"
#include "effects/FilterKernels.h"
#include "effects/PixelFilters.h"

namespace tolm {
namespace {

// Draws the pass took, found by matching the generator's next value against the reference sequence.
int DrawsTaken(std::uint32_t start) {
    const std::uint32_t next = EffectRandom(0xFFFFFFFFu);
    test::Lcg reference{start};
    for (int taken = 0; taken < 100000; ++taken) {
        test::Lcg probe = reference;
        if (probe.Draw(0xFFFFFFFFu) == next) return taken;
        reference.Draw(0);
    }
    return -1;
}

struct NoiseCase {
    TPixelFormat format;
    int width;
    int height;
    int triples;  // whole triples walked in the frame
};

class NoiseTest : public ::testing::TestWithParam<NoiseCase> {};

TEST_P(NoiseTest, ZeroRangeKeepsFrameButDrawsPerTriple) {
    const NoiseCase c = GetParam();
    for (KernelSet set : {KernelSet::Plain, KernelSet::Widest}) {
        LimitKernels(set);
        const Bitmap original = test::RandomFrame(c.width, c.height, c.format, 5);
        Bitmap colour = original, mono = original;
        ResetEffectRandom(99);
        ApplyColorNoise(colour, 0);
        EXPECT_EQ(DrawsTaken(99), 3 * c.triples);
        ResetEffectRandom(99);
        ApplyMonoNoise(mono, 0);
        EXPECT_EQ(DrawsTaken(99), c.triples);
        EXPECT_EQ(std::memcmp(colour.Bits(), original.Bits(), original.ByteSize()), 0);
        EXPECT_EQ(std::memcmp(mono.Bits(), original.Bits(), original.ByteSize()), 0);
    }
    LimitKernels(KernelSet::Widest);
}

INSTANTIATE_TEST_SUITE_P(Frames, NoiseTest,
                         ::testing::Values(NoiseCase{TPixelFormat::pf24bit, 4, 2, 8},
                                           NoiseCase{TPixelFormat::pf32bit, 5, 3, 18},
                                           NoiseCase{TPixelFormat::pf8bit, 5, 2, 4},
                                           NoiseCase{TPixelFormat::pf32bit, 120, 2, 320}));

TEST(NoiseOrderTest, ColourNoiseGivesRedTheFirstDraw) {
    // One grey pixel; range 256 from state 0 draws 0, 8, then the third value, each less 128.
    Bitmap frame(1, 1, TPixelFormat::pf24bit);
    frame.SetPixelRGB(0, 0, 0x808080);
    ResetEffectRandom(0);
    ApplyColorNoise(frame, 256);
    test::Lcg reference;
    const int red = 128 + static_cast<int>(reference.Draw(256)) - 128;
    const int green = 128 + static_cast<int>(reference.Draw(256)) - 128;
    const int blue = 128 + static_cast<int>(reference.Draw(256)) - 128;
    EXPECT_EQ(red, 0);
    EXPECT_EQ(green, 8);
    EXPECT_EQ(frame.PixelRGB(0, 0), static_cast<std::uint32_t>(red << 16 | green << 8 | blue));
}

TEST(NoiseOrderTest, NoiseContinuesFromFrameToFrame) {
    const Bitmap original = test::RandomFrame(100, 3, TPixelFormat::pf32bit, 8);
    ResetEffectRandom(0);
    Bitmap first = original, second = original;
    ApplyMonoNoise(first, 64);
    ApplyMonoNoise(second, 64);
    test::Lcg reference;
    Bitmap expectedFirst = original, expectedSecond = original;
    test::ApplyReference(expectedFirst, test::Filter::MonoNoise, 64, reference);
    test::ApplyReference(expectedSecond, test::Filter::MonoNoise, 64, reference);
    EXPECT_EQ(std::memcmp(first.Bits(), expectedFirst.Bits(), first.ByteSize()), 0);
    EXPECT_EQ(std::memcmp(second.Bits(), expectedSecond.Bits(), second.ByteSize()), 0);
    EXPECT_NE(std::memcmp(first.Bits(), second.Bits(), first.ByteSize()), 0);
}

}  // namespace
}  // namespace tolm

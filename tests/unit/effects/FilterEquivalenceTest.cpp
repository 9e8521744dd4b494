#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "ReferenceFilters.h"
#include "effects/EffectRandom.h"
#include "effects/FilterKernels.h"
#include "effects/PixelFilters.h"

namespace tolm {
namespace {

using test::Filter;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

struct Setting {
    Filter filter;
    std::int32_t a, g, b;
};

void Apply(Bitmap& frame, const Setting& s) {
    switch (s.filter) {
        case Filter::Brightness:
            return ApplyBrightness(frame, s.a);
        case Filter::Contrast:
            return ApplyContrast(frame, s.a);
        case Filter::Darkness:
            return ApplyDarkness(frame, s.a);
        case Filter::Saturation:
            return ApplySaturation(frame, s.a);
        case Filter::ColorNoise:
            return ApplyColorNoise(frame, s.a);
        case Filter::MonoNoise:
            return ApplyMonoNoise(frame, s.a);
        case Filter::Posterize:
            return ApplyPosterize(frame, s.a);
        case Filter::ColorAdjust:
            return ApplyColorAdjust(frame, s.a, s.g, s.b);
        case Filter::Grey:
            return ApplyGrayScale(frame);
        case Filter::Sepia:
            return ApplySepia(frame);
    }
}

std::vector<Setting> Settings() {
    std::vector<Setting> all;
    auto add = [&](Filter f, std::initializer_list<std::int32_t> values) {
        for (std::int32_t v : values) all.push_back({f, v, 0, 0});
    };
    add(Filter::Brightness, {-2550, -255, -1, 0, 77, 255, kMin, kMax});
    add(Filter::Contrast, {-255, 0, 128, 255, 2550, kMin, kMax});
    add(Filter::Darkness, {-50, 0, 128, 255, kMax});
    // 8421504 is the last factor the vector saturation takes; one past it goes the plain way.
    add(Filter::Saturation, {0, 100, 254, 256, 2550, -300, 8421504, 8421505, kMin, kMax});
    add(Filter::ColorNoise, {0, 1, 2, 255, 256, 1000, -7, kMax});
    add(Filter::MonoNoise, {0, 1, 255, 511, -7, kMin});
    add(Filter::Posterize, {1, 2, 3, 7, 64, 255, 500, kMax});
    all.push_back({Filter::ColorAdjust, 10, -20, 300});
    all.push_back({Filter::ColorAdjust, -255, 255, -1000});
    all.push_back({Filter::ColorAdjust, kMin, kMax, 5});
    all.push_back({Filter::Grey, 0, 0, 0});
    all.push_back({Filter::Sepia, 0, 0, 0});
    return all;
}

// Widths that give whole-frame runs, row-by-row runs, vector tails and the cut last triple of 8/16 bits.
const int kWidths[] = {1, 2, 3, 4, 5, 7, 8, 13, 48, 64, 67, 96, 333, 1282};
const TPixelFormat kFormats[] = {TPixelFormat::pf8bit, TPixelFormat::pf16bit, TPixelFormat::pf24bit,
                                 TPixelFormat::pf32bit};

std::string KernelSetName(const ::testing::TestParamInfo<KernelSet>& info) {
    return info.param == KernelSet::Plain ? "Plain" : info.param == KernelSet::UpToAvx2 ? "UpToAvx2" : "Widest";
}

// Run once per kernel set; on a processor without a set its run repeats a narrower one.
class FilterEquivalenceTest : public ::testing::TestWithParam<KernelSet> {
  protected:
    void SetUp() override { LimitKernels(GetParam()); }
    void TearDown() override { LimitKernels(KernelSet::Widest); }
};

TEST_P(FilterEquivalenceTest, EveryFilterMatchesItsFormulaInEveryFormat) {
    std::uint32_t seed = 1;
    for (TPixelFormat format : kFormats)
        for (int width : kWidths)
            for (const Setting& s : Settings()) {
                const Bitmap original = test::RandomFrame(width, 3, format, seed++);
                Bitmap actual = original;
                Bitmap expected = original;
                ResetEffectRandom(seed);
                test::Lcg random{seed};
                Apply(actual, s);
                test::ApplyReference(expected, s.filter, s.a, random, s.g, s.b);
                ASSERT_EQ(std::memcmp(actual.Bits(), expected.Bits(), actual.ByteSize()), 0)
                    << "filter " << static_cast<int>(s.filter) << " value " << s.a << " format "
                    << static_cast<int>(format) << " width " << width;
                // The generator goes on from where the pass left it.
                ASSERT_EQ(EffectRandom(kMax), random.Draw(kMax)) << "filter " << static_cast<int>(s.filter);
            }
}

INSTANTIATE_TEST_SUITE_P(Kernels, FilterEquivalenceTest,
                         ::testing::Values(KernelSet::Plain, KernelSet::UpToAvx2, KernelSet::Widest), KernelSetName);

}  // namespace
}  // namespace tolm

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "effects/FilterValues.h"

namespace tolm {
namespace {

using Getter = std::int32_t (TFilterValues::*)() const;

// Field read back for each SetIndexedValue index; 7 (darkness) and 8 (brightness) cross over the field order.
const Getter kByIndex[10] = {&TFilterValues::ValueColorNoise, &TFilterValues::ValueMonoNoise,
                             &TFilterValues::ValuePosterize,  &TFilterValues::ValueRedColor,
                             &TFilterValues::ValueGreenColor, &TFilterValues::ValueBlueColor,
                             &TFilterValues::ValueSaturation, &TFilterValues::ValueDarkness,
                             &TFilterValues::ValueBrightness, &TFilterValues::ValueContrast};

std::int32_t Read(const TFilterValues& v, int i) {
    return (v.*kByIndex[i])();
}

TEST(FilterValuesTest, FreshObjectHoldsEngineDefaults) {
    TFilterValues v;
    EXPECT_EQ(v.TypeScreenRotate(), TScreenRotate::RLeft);
    const std::int32_t expected[10] = {0, 0, 1, 0, 0, 0, 255, 0, 0, 0};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Read(v, i), expected[i]) << "index " << i;
}

TEST(FilterValuesTest, EachIndexWritesOnlyItsOwnField) {
    for (int i = 0; i < 10; ++i) {
        TFilterValues v;
        v.SetIndexedValue(static_cast<std::uint32_t>(i), 1000 + i);
        for (int j = 0; j < 10; ++j) {
            TFilterValues fresh;
            EXPECT_EQ(Read(v, j), j == i ? 1000 + i : Read(fresh, j)) << "wrote " << i << ", read " << j;
        }
    }
}

TEST(FilterValuesTest, IndexAboveNineChangesNothing) {
    TFilterValues v;
    for (std::uint32_t index : {10u, 11u, 1000u, std::numeric_limits<std::uint32_t>::max()})
        v.SetIndexedValue(index, 77);
    TFilterValues fresh;
    for (int j = 0; j < 10; ++j) EXPECT_EQ(Read(v, j), Read(fresh, j));
}

TEST(FilterValuesTest, ValuesOutsideTheDialogRangesAreStoredUnchanged) {
    TFilterValues v;
    v.SetIndexedValue(2, 0);
    v.SetIndexedValue(6, std::numeric_limits<std::int32_t>::min());
    v.SetIndexedValue(9, std::numeric_limits<std::int32_t>::max());
    v.SetIndexedValue(3, -100000);
    EXPECT_EQ(v.ValuePosterize(), 0);
    EXPECT_EQ(v.ValueSaturation(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(v.ValueContrast(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(v.ValueRedColor(), -100000);
}

TEST(FilterValuesTest, AssignCopiesEveryMember) {
    TFilterValues source;
    for (int i = 0; i < 10; ++i) source.SetIndexedValue(static_cast<std::uint32_t>(i), -3 * i - 1);
    source.SetTypeScreenRotate(TScreenRotate::RVertical);
    TFilterValues copy;
    copy.Assign(source);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Read(copy, i), -3 * i - 1);
    EXPECT_EQ(copy.TypeScreenRotate(), TScreenRotate::RVertical);
    copy.Assign(copy);
    EXPECT_EQ(Read(copy, 4), -13);
}

TEST(NoiseRuleTest, AddingMonoNoiseReplacesColourNoise) {
    const TUseFilters current{TUseFilter::UseColorNoise, TUseFilter::UseSepia};
    const TUseFilters stored = ApplyNoiseRule(current, current.With(TUseFilter::UseMonoNoise));
    EXPECT_EQ(stored, (TUseFilters{TUseFilter::UseMonoNoise, TUseFilter::UseSepia}));
}

TEST(NoiseRuleTest, AddingColourNoiseReplacesMonoNoise) {
    const TUseFilters current{TUseFilter::UseMonoNoise, TUseFilter::UseContrast};
    const TUseFilters stored = ApplyNoiseRule(current, current.With(TUseFilter::UseColorNoise));
    EXPECT_EQ(stored, (TUseFilters{TUseFilter::UseColorNoise, TUseFilter::UseContrast}));
}

TEST(NoiseRuleTest, RemovalsAndSetsWithoutNoiseAreStoredUnchanged) {
    const TUseFilters colour{TUseFilter::UseColorNoise, TUseFilter::UseGrayScale};
    EXPECT_EQ(ApplyNoiseRule(colour, colour.Without(TUseFilter::UseColorNoise)), TUseFilters{TUseFilter::UseGrayScale});
    const TUseFilters mono{TUseFilter::UseMonoNoise};
    EXPECT_EQ(ApplyNoiseRule(mono, TUseFilters{}), TUseFilters{});
    const TUseFilters other{TUseFilter::UseDarkness, TUseFilter::UseRotateImage};
    EXPECT_EQ(ApplyNoiseRule(colour, other), other);
    EXPECT_EQ(ApplyNoiseRule(mono, mono), mono);
    EXPECT_EQ(TUseFilters::FromBits(0xFFFF).Bits(), 0x0FFF);
}

}  // namespace
}  // namespace tolm

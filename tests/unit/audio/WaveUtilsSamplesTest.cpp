#include "WaveTestSupport.h"

namespace tolm::test {
namespace {

const WAVEFORMATEX kMono8 = Stock(TPCMFormat::Mono8Bit8000Hz);
const WAVEFORMATEX kMono16 = Stock(TPCMFormat::Mono16bit8000Hz);
const WAVEFORMATEX kStereo16 = Stock(TPCMFormat::Stereo16bit8000Hz);
const WAVEFORMATEX kAdpcm{2, 1, 8000, 4096, 256, 4, 0};
const WAVEFORMATEX kPcm24{1, 1, 8000, 24000, 3, 24, 0};

std::vector<std::uint8_t> Samples16(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> bytes(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) PutSample16(bytes.data() + 2 * i, samples[i]);
    return bytes;
}

std::vector<std::int16_t> Values16(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::int16_t> samples;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) samples.push_back(GetSample16(bytes.data() + i));
    return samples;
}

TEST(PeakLevel, EightBitCountsOnlyBytesAboveTheMidpoint) {
    std::vector<std::uint8_t> quiet{0, 50, 127, 127, 3};
    EXPECT_EQ(PeakLevel(quiet.data(), quiet.size(), kMono8), 0);
    std::vector<std::uint8_t> loud{128, 255, 0};
    EXPECT_EQ(PeakLevel(loud.data(), loud.size(), kMono8), 100);
    std::vector<std::uint8_t> half{191};
    EXPECT_EQ(PeakLevel(half.data(), half.size(), kMono8), 49);  // 63 * 100 div 127
    EXPECT_EQ(PeakLevel(nullptr, 0, kMono8), 0);
}

TEST(PeakLevel, SixteenBitCountsOnlyPositiveWholeSamples) {
    std::vector<std::uint8_t> negative = Samples16({0, -32768, 0});
    EXPECT_EQ(PeakLevel(negative.data(), negative.size(), kMono16), 0);
    std::vector<std::uint8_t> full = Samples16({-5, 32767});
    EXPECT_EQ(PeakLevel(full.data(), full.size(), kMono16), 100);
    std::vector<std::uint8_t> odd = Samples16({100});
    odd.push_back(0x7F);  // half a sample: not read
    EXPECT_EQ(PeakLevel(odd.data(), odd.size(), kMono16), 0);
    std::vector<std::uint8_t> third = Samples16({10922});
    EXPECT_EQ(PeakLevel(third.data(), third.size(), kStereo16), 33);
}

TEST(PeakLevel, UnmeasurableFormats) {
    std::vector<std::uint8_t> data{255, 255, 255};
    EXPECT_EQ(PeakLevel(data.data(), data.size(), kAdpcm), -1);
    EXPECT_EQ(PeakLevel(data.data(), data.size(), kPcm24), -1);
}

TEST(SamplePrimitives, OtherFormatsAreRefusedAndLeftAlone) {
    std::vector<std::uint8_t> data{1, 2, 3, 4, 5, 6};
    const auto original = data;
    for (const WAVEFORMATEX& f : {kAdpcm, kPcm24}) {
        EXPECT_FALSE(FillSilence(data.data(), data.size(), f));
        EXPECT_FALSE(ReverseSamples(data.data(), data.size(), f));
        EXPECT_FALSE(ScaleSamples(data.data(), data.size(), f, 50));
        std::span<const std::uint8_t> in[] = {original};
        EXPECT_FALSE(MixSamples(in, f, data.size(), data.data()));
    }
    EXPECT_EQ(data, original);
}

TEST(SamplePrimitives, SilenceIs127ForEightBitsAndZeroForSixteen) {
    std::vector<std::uint8_t> data(5, 9);
    ASSERT_TRUE(FillSilence(data.data(), data.size(), kMono8));
    EXPECT_EQ(data, std::vector<std::uint8_t>(5, 127));
    ASSERT_TRUE(FillSilence(data.data(), data.size(), kStereo16));
    EXPECT_EQ(data, std::vector<std::uint8_t>(5, 0));
}

TEST(SamplePrimitives, ReverseSwapsSamplesNotBytesOrBlocks) {
    std::vector<std::uint8_t> bytes{1, 2, 3, 4, 5};
    ASSERT_TRUE(ReverseSamples(bytes.data(), bytes.size(), kMono8));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{5, 4, 3, 2, 1}));

    // Stereo L0 R0 L1 R1: the channels change places.
    std::vector<std::uint8_t> stereo = Samples16({100, -100, 200, -200});
    ASSERT_TRUE(ReverseSamples(stereo.data(), stereo.size(), kStereo16));
    EXPECT_EQ(Values16(stereo), (std::vector<std::int16_t>{-200, 200, -100, 100}));

    std::vector<std::uint8_t> odd = Samples16({1, 2, 3});
    odd.push_back(0xAB);
    ASSERT_TRUE(ReverseSamples(odd.data(), odd.size(), kMono16));
    EXPECT_EQ(Values16(odd), (std::vector<std::int16_t>{3, 2, 1}));
    EXPECT_EQ(odd.back(), 0xAB);
}

TEST(SamplePrimitives, ScaleSixteenBitsTruncatesAndClampsSymmetrically) {
    std::vector<std::uint8_t> data = Samples16({-32768, 1000, -3, 3, 20000, -20000});
    ASSERT_TRUE(ScaleSamples(data.data(), data.size(), kMono16, 0));
    EXPECT_EQ(Values16(data), (std::vector<std::int16_t>{-32767, 1000, -3, 3, 20000, -20000}));
    ASSERT_TRUE(ScaleSamples(data.data(), data.size(), kMono16, 50));
    EXPECT_EQ(Values16(data), (std::vector<std::int16_t>{-32767, 1500, -4, 4, 30000, -30000}));
    ASSERT_TRUE(ScaleSamples(data.data(), data.size(), kMono16, 100));
    EXPECT_EQ(Values16(data), (std::vector<std::int16_t>{-32767, 3000, -8, 8, 32767, -32767}));
    ASSERT_TRUE(ScaleSamples(data.data(), data.size(), kMono16, INT32_MAX));  // no overflow on the way
    EXPECT_EQ(Values16(data), (std::vector<std::int16_t>{-32767, 32767, -32767, 32767, 32767, -32767}));
    ASSERT_TRUE(ScaleSamples(data.data(), data.size(), kMono16, -100));
    EXPECT_EQ(Values16(data), std::vector<std::int16_t>(6, 0));
}

TEST(SamplePrimitives, ScaleEightBitsAroundTheMidpoint) {
    std::vector<std::uint8_t> data{128, 138, 118, 0, 255};
    ASSERT_TRUE(ScaleSamples(data.data(), data.size(), kMono8, 0));
    EXPECT_EQ(data, (std::vector<std::uint8_t>{128, 138, 118, 0, 255}));
    ASSERT_TRUE(ScaleSamples(data.data(), data.size(), kMono8, 100));
    EXPECT_EQ(data, (std::vector<std::uint8_t>{128, 148, 108, 0, 255}));
    ASSERT_TRUE(ScaleSamples(data.data(), data.size(), kMono8, -50));
    EXPECT_EQ(data, (std::vector<std::uint8_t>{128, 138, 118, 64, 192}));
    ASSERT_TRUE(ScaleSamples(data.data(), data.size(), kMono8, -100));
    EXPECT_EQ(data, std::vector<std::uint8_t>(5, 128));
}

TEST(SamplePrimitives, MixAveragesOverAllInputsAndTreatsEndedOnesAsSilence) {
    const auto a = Samples16({1000, -1000, 7, -7});
    const auto b = Samples16({3000, -2000});
    std::span<const std::uint8_t> inputs[] = {a, b};
    std::vector<std::uint8_t> out(a.size() + 2, 0xEE);
    ASSERT_TRUE(MixSamples(inputs, kMono16, out.size(), out.data()));
    // Sums divided by 2, truncated toward zero; b has ended after two samples; beyond a, silence.
    EXPECT_EQ(Values16(out), (std::vector<std::int16_t>{2000, -1500, 3, -3, 0}));

    const std::vector<std::uint8_t> c{200, 100, 255};
    const std::vector<std::uint8_t> d{100};
    std::span<const std::uint8_t> bytes[] = {c, d};
    std::vector<std::uint8_t> mixed(3);
    ASSERT_TRUE(MixSamples(bytes, kMono8, mixed.size(), mixed.data()));
    EXPECT_EQ(mixed, (std::vector<std::uint8_t>{150, 114, 191}));  // d ended: it counts as 128

    std::vector<std::uint8_t> untouched(4, 0x55);
    EXPECT_FALSE(MixSamples({}, kMono16, untouched.size(), untouched.data()));
    EXPECT_EQ(untouched, std::vector<std::uint8_t>(4, 0x55));
}

}  // namespace
}  // namespace tolm::test

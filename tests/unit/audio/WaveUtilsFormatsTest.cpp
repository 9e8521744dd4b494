#include "WaveTestSupport.h"

namespace tolm::test {
namespace {

// The stock table as users see it in the options dialog, in value order.
const char* const kStockTexts[] = {
    "PCM: 8.000 kHz, 8 Bit, Mono",     "PCM: 8.000 kHz, 8 Bit, Stereo",   "PCM: 8.000 kHz, 16 Bit, Mono",
    "PCM: 8.000 kHz, 16 Bit, Stereo",  "PCM: 11.025 kHz, 8 Bit, Mono",    "PCM: 11.025 kHz, 8 Bit, Stereo",
    "PCM: 11.025 kHz, 16 Bit, Mono",   "PCM: 11.025 kHz, 16 Bit, Stereo", "PCM: 22.050 kHz, 8 Bit, Mono",
    "PCM: 22.050 kHz, 8 Bit, Stereo",  "PCM: 22.050 kHz, 16 Bit, Mono",   "PCM: 22.050 kHz, 16 Bit, Stereo",
    "PCM: 44.100 kHz, 8 Bit, Mono",    "PCM: 44.100 kHz, 8 Bit, Stereo",  "PCM: 44.100 kHz, 16 Bit, Mono",
    "PCM: 44.100 kHz, 16 Bit, Stereo", "PCM: 48.000 kHz, 8 Bit, Mono",    "PCM: 48.000 kHz, 8 Bit, Stereo",
    "PCM: 48.000 kHz, 16 Bit, Mono",   "PCM: 48.000 kHz, 16 Bit, Stereo",
};

TEST(StockFormats, EveryValueMatchesTheTable) {
    const std::uint32_t bytesPerSecond[] = {8000,  16000, 16000, 32000, 11025, 22050,  22050, 44100, 22050, 44100,
                                            44100, 88200, 44100, 88200, 88200, 176400, 48000, 96000, 96000, 192000};
    for (int v = 1; v <= kStockPCMFormatCount; ++v) {
        SCOPED_TRACE(v);
        const WAVEFORMATEX f = Stock(static_cast<TPCMFormat>(v));
        EXPECT_EQ(f.wFormatTag, 1);
        EXPECT_EQ(f.cbSize, 0);
        EXPECT_EQ(f.nAvgBytesPerSec, bytesPerSecond[v - 1]);
        EXPECT_EQ(f.nBlockAlign, f.nChannels * f.wBitsPerSample / 8);
        EXPECT_EQ(DescribeWaveFormat(f), kStockTexts[v - 1]);
    }
    const WAVEFORMATEX first = Stock(TPCMFormat::Mono8Bit8000Hz);
    EXPECT_EQ(first.nChannels, 1);
    EXPECT_EQ(first.wBitsPerSample, 8);
    EXPECT_EQ(first.nSamplesPerSec, 8000u);
    EXPECT_EQ(Stock(TPCMFormat::Stereo16bit48000Hz).nBlockAlign, 4);
}

TEST(StockFormats, NoStockFormatLeavesTheRecordAlone) {
    WAVEFORMATEX untouched{7, 3, 12345, 678, 9, 24, 5};
    WAVEFORMATEX f = untouched;
    FillStockPCMFormat(f, TPCMFormat::nonePCM);
    EXPECT_EQ(f, untouched);
    FillStockPCMFormat(f, static_cast<TPCMFormat>(21));
    EXPECT_EQ(f, untouched);
    FillStockPCMFormat(f, static_cast<TPCMFormat>(255));
    EXPECT_EQ(f, untouched);
}

TEST(WaveArithmetic, ScaledMulDivRoundsHalvesUpWithoutOverflow) {
    EXPECT_EQ(ScaledMulDiv(441, 1, 10), 44u);  // 44.1
    EXPECT_EQ(ScaledMulDiv(445, 1, 10), 45u);  // a half
    EXPECT_EQ(ScaledMulDiv(1, 1, 3), 0u);
    EXPECT_EQ(ScaledMulDiv(2, 1, 3), 1u);
    EXPECT_EQ(ScaledMulDiv(5, 7, 0), 0u);
    EXPECT_EQ(ScaledMulDiv(UINT32_MAX, UINT32_MAX, UINT32_MAX), UINT32_MAX);
    EXPECT_EQ(ScaledMulDiv(UINT32_MAX, UINT32_MAX, 1), std::uint64_t{UINT32_MAX} * UINT32_MAX);
}

TEST(WaveArithmetic, TimesAndSizesOfTheDocumentedExamples) {
    const WAVEFORMATEX cd = Stock(TPCMFormat::Stereo16bit44100Hz);
    EXPECT_EQ(MillisecondsToBytes(cd, 1000), 176400u);
    EXPECT_EQ(BufferBytesForMilliseconds(cd, 1000), 176400u);
    EXPECT_EQ(BytesToMilliseconds(cd, 176400), 1000u);
    const WAVEFORMATEX low = Stock(TPCMFormat::Stereo16bit11025Hz);
    EXPECT_EQ(MillisecondsToBytes(low, 1), 44u);
    EXPECT_EQ(BufferBytesForMilliseconds(low, 1), 44u);
    EXPECT_EQ(BufferBytesForMilliseconds(Stock(TPCMFormat::Mono16bit8000Hz), 1000), 16000u);
}

TEST(WaveArithmetic, BufferSizesRoundUpAndPositionsDownToWholeBlocks) {
    const WAVEFORMATEX f = Stock(TPCMFormat::Stereo16bit11025Hz);  // 44.1 bytes per ms, blocks of 4
    EXPECT_EQ(MillisecondsToBytes(f, 3), 132u);                    // 132.3
    EXPECT_EQ(BufferBytesForMilliseconds(f, 3), 132u);
    EXPECT_EQ(MillisecondsToBytes(f, 5), 220u);         // 220.5 rounds to 221, lowered to 220
    EXPECT_EQ(BufferBytesForMilliseconds(f, 5), 224u);  // 221 raised to 224
    EXPECT_EQ(MillisecondsToBytes(f, 0), 0u);
    EXPECT_EQ(BytesToMilliseconds(f, 45), 1u);
    EXPECT_EQ(BytesToMilliseconds(WAVEFORMATEX{}, 1000), 0u);  // no byte rate
}

TEST(WaveArithmetic, HugeValuesSaturateInWholeBlocksInsteadOfWrapping) {
    const WAVEFORMATEX f = Stock(TPCMFormat::Stereo16bit48000Hz);  // 192 bytes per ms
    EXPECT_EQ(MillisecondsToBytes(f, 30'000'000), UINT32_MAX / 4 * 4);
    EXPECT_EQ(BufferBytesForMilliseconds(f, UINT32_MAX), UINT32_MAX / 4 * 4);
    EXPECT_EQ(BytesToMilliseconds(WAVEFORMATEX{1, 1, 1, 1, 1, 8, 0}, UINT32_MAX), UINT32_MAX);
}

TEST(WaveDescriptions, ShapesForChannelsAndMissingBitDepth) {
    EXPECT_EQ(DescribeWaveFormat(WAVEFORMATEX{1, 6, 48000, 576000, 12, 16, 0}), "PCM: 48.000 kHz, 16 Bit, 6 Ch");
    EXPECT_EQ(DescribeWaveFormat(WAVEFORMATEX{85, 2, 22050, 4000, 1, 0, 12}), "MPEG Layer-3: 22.050 kHz, Stereo");
    EXPECT_EQ(DescribeWaveFormat(WAVEFORMATEX{2, 4, 8000, 0, 0, 0, 0}), "Microsoft ADPCM: 8.000 kHz, 4 Ch");
    EXPECT_EQ(DescribeWaveFormat(WAVEFORMATEX{66, 1, 8000, 800, 24, 0, 0}), "8.000 kHz, Mono");
    EXPECT_EQ(DescribeWaveFormat(WAVEFORMATEX{67, 1, 8005, 800, 24, 0, 0}), "Microsoft G.723.1: 8.005 kHz, Mono");
    EXPECT_EQ(DescribeWaveFormat(WAVEFORMATEX{1, 1, 96, 96, 1, 8, 0}), "PCM: 0.096 kHz, 8 Bit, Mono");
}

TEST(WaveDescriptions, TagNames) {
    EXPECT_EQ(FormatTagName(1), "PCM");
    EXPECT_EQ(FormatTagName(3), "PCM IEEE");
    EXPECT_EQ(FormatTagName(17), "IMA ADPCM");
    EXPECT_EQ(FormatTagName(49), "GSM 6.10");
    EXPECT_EQ(FormatTagName(67), "Microsoft G.723.1");
    EXPECT_EQ(FormatTagName(66), "");
    EXPECT_EQ(FormatTagName(0), "");
    EXPECT_EQ(FormatTagName(0xFFFE), "");
}

}  // namespace
}  // namespace tolm::test

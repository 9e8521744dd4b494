// Whole-buffer conversion over libswresample, and the wave container's format conversion through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "audio/ByteStream.h"
#include "audio/WaveStreamAdapter.h"
#include "audio/scWaveUtils.h"
#include "platform/ffmpeg/SwrAudioConverter.h"

namespace tolm::test {
namespace {

WAVEFORMATEX Stock(TPCMFormat pcm) {
    WAVEFORMATEX format;
    FillStockPCMFormat(format, pcm);
    return format;
}

WAVEFORMATEX Pcm(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    const auto block = static_cast<std::uint16_t>(channels * bits / 8);
    return WAVEFORMATEX{tag, channels, rate, rate * block, block, bits, 0};
}

// `seconds` of a 16-bit tone on every channel, starting off zero so that no sample sits on the midline.
std::vector<std::uint8_t> Tone16(double frequency, std::uint32_t rate, int channels, double seconds, int amplitude) {
    const auto frames = static_cast<std::size_t>(rate * seconds);
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const auto s =
            static_cast<std::int16_t>(std::lround(amplitude * std::sin(2 * std::numbers::pi * frequency * t + 0.3)));
        for (int c = 0; c < channels; ++c) {
            bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
        }
    }
    return bytes;
}

// Sign changes of 8-bit unsigned mono audio around its midpoint 128.
int ZeroCrossings8(const std::vector<std::uint8_t>& audio) {
    int crossings = 0;
    int last = 0;
    for (std::uint8_t v : audio) {
        const int sign = v > 128 ? 1 : v < 128 ? -1 : 0;
        if (sign == 0) continue;
        if (last != 0 && sign != last) ++crossings;
        last = sign;
    }
    return crossings;
}

class ConvertTest : public ::testing::Test {
  protected:
    std::unique_ptr<AudioConverter> converter = CreateSwrAudioConverter();
};

TEST_F(ConvertTest, ToneKeepsItsFrequencyAndLengthAcrossRateDepthAndChannels) {
    const WaveFormatBlock source(Stock(TPCMFormat::Stereo16bit44100Hz));
    const WaveFormatBlock target(Stock(TPCMFormat::Mono8bit22050Hz));
    // Two seconds: longer than the converter hands the resampler at once.
    const std::vector<std::uint8_t> tone = Tone16(1000, 44100, 2, 2.0, 10000);
    std::vector<std::uint8_t> out{1, 2, 3};  // replaced, not appended to
    ASSERT_TRUE(ConvertWithACM(*converter, source, tone, target, out));
    EXPECT_NEAR(static_cast<double>(out.size()), 44100, 4);
    EXPECT_NEAR(ZeroCrossings8(out), 4000, 4);
    // Depth and channel mix keep the level: 10000 of 32768 is about 39 steps of 128.
    const int peak = *std::max_element(out.begin(), out.end());
    EXPECT_NEAR(peak, 128 + 39, 3);
}

TEST_F(ConvertTest, WiderSampleFormatsRoundTripExactly) {
    const WaveFormatBlock pcm16(Pcm(1, 2, 48000, 16));
    const std::vector<std::uint8_t> tone = Tone16(440, 48000, 2, 1.5, 30000);
    for (const auto& wide : {Pcm(1, 2, 48000, 24), Pcm(1, 2, 48000, 32), Pcm(3, 2, 48000, 32)}) {
        SCOPED_TRACE(DescribeWaveFormat(wide) + " tag " + std::to_string(wide.wFormatTag));
        std::vector<std::uint8_t> widened;
        std::vector<std::uint8_t> back;
        ASSERT_TRUE(ConvertWithACM(*converter, pcm16, tone, WaveFormatBlock(wide), widened));
        EXPECT_EQ(widened.size(), tone.size() / 2 * (wide.wBitsPerSample / 8));
        ASSERT_TRUE(ConvertWithACM(*converter, WaveFormatBlock(wide), widened, pcm16, back));
        EXPECT_EQ(back, tone);
    }
    // 24-bit samples are the 16-bit ones with a low byte below them.
    std::vector<std::uint8_t> packed;
    ASSERT_TRUE(ConvertWithACM(*converter, WaveFormatBlock(Pcm(1, 1, 8000, 16)), std::vector<std::uint8_t>{0x34, 0x12},
                               WaveFormatBlock(Pcm(1, 1, 8000, 24)), packed));
    EXPECT_EQ(packed, (std::vector<std::uint8_t>{0x00, 0x34, 0x12}));
}

TEST_F(ConvertTest, ManyChannelsAndOddTails) {
    // Eight channels down to one at a sixth of the rate; the trailing partial frame is no sample.
    std::vector<std::uint8_t> tone = Tone16(500, 48000, 8, 0.5, 8000);
    tone.push_back(0x11);
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(ConvertWithACM(*converter, WaveFormatBlock(Pcm(1, 8, 48000, 16)), tone,
                               WaveFormatBlock(Pcm(1, 1, 8000, 16)), out));
    EXPECT_NEAR(static_cast<double>(out.size() / 2), 4000, 4);

    std::vector<std::uint8_t> none{9};
    EXPECT_TRUE(ConvertWithACM(*converter, WaveFormatBlock(Pcm(1, 2, 8000, 16)), {},
                               WaveFormatBlock(Pcm(1, 1, 8000, 8)), none));
    EXPECT_TRUE(none.empty());
}

TEST_F(ConvertTest, UnsupportedFormatsAreRefused) {
    const WaveFormatBlock pcm(Pcm(1, 2, 44100, 16));
    const std::vector<std::uint8_t> data(400, 0);
    const WAVEFORMATEX refused[] = {
        WAVEFORMATEX{2, 1, 8000, 4096, 256, 4, 0},  // ADPCM
        Pcm(1, 1, 8000, 12),                        // no such depth
        Pcm(1, 9, 8000, 16),                        // too many channels
        Pcm(1, 0, 8000, 16),                        // none
        Pcm(3, 1, 8000, 64),                        // double precision
        WAVEFORMATEX{1, 2, 8000, 32000, 2, 16, 0},  // block too small for its samples
        Pcm(1, 1, 0, 16),                           // no rate
    };
    for (const WAVEFORMATEX& format : refused) {
        SCOPED_TRACE(DescribeWaveFormat(format));
        std::vector<std::uint8_t> out;
        EXPECT_FALSE(ConvertWithACM(*converter, pcm, data, WaveFormatBlock(format), out));
        EXPECT_FALSE(ConvertWithACM(*converter, WaveFormatBlock(format), data, pcm, out));
    }

    WAVEFORMATEX suggested;
    ASSERT_TRUE(converter->SuggestPCM(WAVEFORMATEX{1, 2, 44100, 0, 0, 0, 0}, suggested));
    EXPECT_EQ(suggested, Stock(TPCMFormat::Stereo16bit44100Hz));
    EXPECT_FALSE(converter->SuggestPCM(WAVEFORMATEX{85, 2, 44100, 0, 0, 0, 0}, suggested));
    EXPECT_FALSE(converter->SuggestPCM(WAVEFORMATEX{1, 12, 44100, 0, 0, 0, 0}, suggested));
}

// A wave of 1 kHz, 16-bit stereo at 44.1 kHz in memory, with its adapter.
struct ToneWave {
    ToneWave() : adapter(stream) {
        const std::vector<std::uint8_t> tone = Tone16(1000, 44100, 2, 0.5, 10000);
        EXPECT_TRUE(adapter.StartWriting(WaveFormatBlock(Stock(TPCMFormat::Stereo16bit44100Hz))));
        EXPECT_EQ(adapter.WriteData(tone.data(), tone.size()), static_cast<std::int64_t>(tone.size()));
        EXPECT_TRUE(adapter.FinishWriting());
    }
    std::vector<std::uint8_t> Audio() {
        const auto& bytes = stream.Bytes();
        return {bytes.begin() + adapter.DataOffset(), bytes.begin() + adapter.DataOffset() + adapter.DataSize()};
    }
    MemoryStream stream;
    TWaveStreamAdapter adapter;
};

TEST_F(ConvertTest, ConvertToRewritesTheContainer) {
    ToneWave wave;
    const WaveFormatBlock target(Stock(TPCMFormat::Mono8bit22050Hz));
    ASSERT_TRUE(wave.adapter.ConvertTo(target, *converter)) << wave.adapter.LastErrorText();
    ASSERT_NE(wave.adapter.WaveFormat(), nullptr);
    EXPECT_EQ(*wave.adapter.WaveFormat(), target);
    EXPECT_NEAR(static_cast<double>(wave.adapter.DataSize()), 11025, 4);
    EXPECT_NEAR(ZeroCrossings8(wave.Audio()), 1000, 4);
    // The bytes on the stream are a complete wave of their own.
    MemoryStream copy;
    copy.Write(wave.stream.Bytes().data(), wave.stream.Bytes().size());
    copy.Seek(0, TSeekOrigin::soBeginning);
    TWaveStreamAdapter reread(copy);
    EXPECT_TRUE(reread.Valid());
    EXPECT_EQ(reread.DataSize(), wave.adapter.DataSize());

    const std::vector<std::uint8_t> before = wave.stream.Bytes();
    EXPECT_TRUE(wave.adapter.ConvertTo(target, *converter));  // already in that format
    EXPECT_EQ(wave.stream.Bytes(), before);
}

TEST_F(ConvertTest, UnsupportedTargetLeavesTheContainerAlone) {
    ToneWave wave;
    const std::vector<std::uint8_t> before = wave.stream.Bytes();
    const WaveFormatBlock mp3(WAVEFORMATEX{85, 2, 44100, 16000, 1, 0, 0});
    EXPECT_FALSE(wave.adapter.ConvertTo(mp3, *converter));
    EXPECT_EQ(wave.stream.Bytes(), before);
    EXPECT_TRUE(wave.adapter.Valid());
    EXPECT_EQ(*wave.adapter.WaveFormat(), WaveFormatBlock(Stock(TPCMFormat::Stereo16bit44100Hz)));
    EXPECT_FALSE(wave.adapter.LastErrorText().empty());
}

// Converts only between 16-bit PCM and other formats, as a codec does; anything else has to pass through
// 16-bit PCM.
class PcmHubConverter final : public AudioConverter {
  public:
    explicit PcmHubConverter(AudioConverter& inner) : inner_(inner) {}
    bool Convert(const WaveFormatBlock& source, std::span<const std::uint8_t> data, const WaveFormatBlock& target,
                 std::vector<std::uint8_t>& output) override {
        output.clear();
        if (!IsHub(source.Record()) && !IsHub(target.Record())) return false;
        return inner_.Convert(source, data, target, output);
    }
    bool SuggestPCM(const WAVEFORMATEX& format, WAVEFORMATEX& pcm) override {
        ++suggestions;
        return inner_.SuggestPCM(format, pcm);
    }
    int suggestions = 0;

  private:
    static bool IsHub(const WAVEFORMATEX& f) { return f.wFormatTag == kWaveFormatPCM && f.wBitsPerSample == 16; }
    AudioConverter& inner_;
};

TEST_F(ConvertTest, ConvertToFallsBackThroughSuggestedPcm) {
    ToneWave wave;
    const WaveFormatBlock float32(Pcm(3, 2, 44100, 32));
    ASSERT_TRUE(wave.adapter.ConvertTo(float32, *converter));

    PcmHubConverter hub(*converter);
    const WaveFormatBlock target(Stock(TPCMFormat::Mono8bit22050Hz));
    ASSERT_TRUE(wave.adapter.ConvertTo(target, hub)) << wave.adapter.LastErrorText();
    EXPECT_EQ(hub.suggestions, 1);
    EXPECT_EQ(*wave.adapter.WaveFormat(), target);
    EXPECT_NEAR(ZeroCrossings8(wave.Audio()), 1000, 4);
}

}  // namespace
}  // namespace tolm::test

// The stock recorder over the real sound server: what a recording with sound writes into its wave file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "PulseTestSupport.h"
#include "audio/scWaveRecorders.h"
#include "audio/scWaveUtils.h"
#include "integration/Requirements.h"
#include "platform/pulse/PulseAudio.h"

namespace tolm::testing {
namespace {

// A wave file the stock recorder wrote: its data size field and the samples behind the 46-byte header.
struct RecordedWave {
    std::uint32_t dataSize = 0;
    std::vector<std::int16_t> samples;
    std::size_t fileBytes = 0;
    double elapsedMs = 0;  // from the start to the stop
};

// Records the server's default source for `duration` in `format` through two queued 100 ms buffers.
RecordedWave RecordDefaultSource(TPCMFormat format, std::chrono::milliseconds duration) {
    const std::string file = (std::filesystem::temp_directory_path() / "tolm-pulse-recorder.wav").string();
    auto service = CreatePulseWaveInService("tolm-pulse-tests");
    RecordedWave wave;
    {
        TStockAudioRecorder recorder(service.get());
        recorder.SetPCMFormat(format);
        recorder.SetBufferLength(100);
        recorder.SetAsync(true);
        EXPECT_TRUE(recorder.RecordToFile(file)) << recorder.GetErrorText(recorder.LastError());
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(duration);
        recorder.SetActive(false);
        wave.elapsedMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }  // the recorder is gone: the file is complete
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::filesystem::remove(file);
    wave.fileBytes = bytes.size();
    if (bytes.size() < 46) return wave;
    std::memcpy(&wave.dataSize, bytes.data() + 42, 4);
    wave.samples.resize((bytes.size() - 46) / 2);
    std::memcpy(wave.samples.data(), bytes.data() + 46, wave.samples.size() * 2);
    return wave;
}

TEST(PulseRecorder, TwoSecondsOfTheMonitorHold440HzWithoutAGap) {
    TOLM_SKIP_WITHOUT_PULSE();
    if (!HaveTestSources()) GTEST_SKIP() << "the server lacks the test sources";
    // The null sink's monitor runs at the pace of the clock (the sine source hands out 2-second bursts);
    // scripts/test plays a 440 Hz tone into that sink.
    Pactl(std::string("set-default-source ") + kMonitorSource);
    const RecordedWave wave = RecordDefaultSource(TPCMFormat::Mono16bit44100Hz, std::chrono::seconds(2));
    RestoreServerState();

    ASSERT_GT(wave.fileBytes, 46u);
    EXPECT_EQ(wave.dataSize, wave.fileBytes - 46);
    // Everything heard between start and stop, give or take one 100 ms buffer (8820 bytes).
    EXPECT_NEAR(static_cast<double>(wave.dataSize), wave.elapsedMs * 88.2, 8820.0);
    EXPECT_NEAR(ZeroCrossingFrequency(wave.samples, 44100), 440.0, 2.0);
}

class PulseRecorderOnABusyMachine : public PulseServerTest, public ::testing::WithParamInterface<TPCMFormat> {};

// Two 100 ms buffers are all the recorder lends the input, its buffer thread waits for a turn on a busy machine,
// and the source may hand out seconds at once: still no sound is lost.
TEST_P(PulseRecorderOnABusyMachine, ASineIsRecordedWithoutABreak) {
    constexpr unsigned kTone = 437;  // buffers and bursts last no whole number of its periods
    TestSine sine("tolm_test_sine", kTone);
    // A pipe source fed by a program is no test on a busy machine: the feeder and the server starve with us.
    if (!sine.Loaded()) GTEST_SKIP() << "the sound server has no sine generator";
    Pactl("set-default-source tolm_test_sine");
    WAVEFORMATEX format;
    FillStockPCMFormat(format, GetParam());
    RecordedWave wave;
    {
        BusyCores busy;
        wave = RecordDefaultSource(GetParam(), std::chrono::seconds(3));
    }
    std::vector<std::int16_t> left;
    for (std::size_t i = 0; i < wave.samples.size(); i += 2) left.push_back(wave.samples[i]);
    ASSERT_GT(left.size(), format.nSamplesPerSec / 2);  // there is sound to judge
    EXPECT_EQ(SineBreaks(left, format.nSamplesPerSec, kTone), 0u);
}

INSTANTIATE_TEST_SUITE_P(StandardRates, PulseRecorderOnABusyMachine,
                         ::testing::Values(TPCMFormat::Stereo16bit44100Hz, TPCMFormat::Stereo16bit48000Hz),
                         [](const auto& info) {
                             return info.param == TPCMFormat::Stereo16bit44100Hz ? "At44100Hz" : "At48000Hz";
                         });

}  // namespace
}  // namespace tolm::testing

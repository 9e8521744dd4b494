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
#include "integration/Requirements.h"
#include "platform/pulse/PulseAudio.h"

namespace tolm::testing {
namespace {

TEST(PulseRecorder, TwoSecondsOfTheMonitorHold440HzWithoutAGap) {
    TOLM_SKIP_WITHOUT_PULSE();
    if (!HaveTestSources()) GTEST_SKIP() << "the server lacks the test sources";
    // The null sink's monitor runs at the pace of the clock (the sine source hands out 2-second bursts);
    // scripts/test plays a 440 Hz tone into that sink.
    Pactl(std::string("set-default-source ") + kMonitorSource);
    const std::string file = (std::filesystem::temp_directory_path() / "tolm-pulse-recorder.wav").string();
    auto service = CreatePulseWaveInService("tolm-pulse-tests");
    double elapsedMs = 0;
    {
        TStockAudioRecorder recorder(service.get());
        recorder.SetPCMFormat(TPCMFormat::Mono16bit44100Hz);
        recorder.SetBufferLength(100);
        recorder.SetAsync(true);
        ASSERT_TRUE(recorder.RecordToFile(file)) << recorder.GetErrorText(recorder.LastError());
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        recorder.SetActive(false);
        elapsedMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }  // the recorder is gone: the file is complete
    RestoreServerState();

    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::filesystem::remove(file);
    ASSERT_GT(bytes.size(), 46u);
    std::uint32_t dataSize = 0;
    std::memcpy(&dataSize, bytes.data() + 42, 4);
    EXPECT_EQ(dataSize, bytes.size() - 46);
    // Everything heard between start and stop, give or take one 100 ms buffer (8820 bytes).
    EXPECT_NEAR(static_cast<double>(dataSize), elapsedMs * 88.2, 8820.0);
    std::vector<std::int16_t> samples(dataSize / 2);
    std::memcpy(samples.data(), bytes.data() + 46, samples.size() * 2);
    EXPECT_NEAR(ZeroCrossingFrequency(samples, 44100), 440.0, 2.0);
}

}  // namespace
}  // namespace tolm::testing

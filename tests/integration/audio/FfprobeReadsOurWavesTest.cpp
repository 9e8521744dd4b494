// Our wave files as an independent reader sees them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "audio/LittleEndian.h"
#include "audio/WaveStreamAdapter.h"
#include "audio/scWaveUtils.h"

namespace tolm::test {
namespace {

constexpr const char* kFfprobe = "/usr/bin/ffprobe";

struct PipeCloser {
    void operator()(std::FILE* pipe) const { ::pclose(pipe); }
};

// ffprobe's key=value entries for the first audio stream.
std::map<std::string, std::string> ProbeAudio(const std::string& file) {
    const std::string command = std::string(kFfprobe) +
                                " -v error -select_streams a:0 -show_entries "
                                "stream=codec_name,sample_rate,channels,bits_per_sample,duration "
                                "-of default=noprint_wrappers=1 '" +
                                file + "'";
    std::unique_ptr<std::FILE, PipeCloser> pipe(::popen(command.c_str(), "r"));
    std::map<std::string, std::string> entries;
    if (!pipe) return entries;
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) output += buffer;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) entries[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return entries;
}

class FfprobeReadsOurWaves : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(kFfprobe)) GTEST_SKIP() << kFfprobe << " is not installed";
        folder_ =
            std::filesystem::temp_directory_path() / ("tolm-audio-probe-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }

    // Writes `seconds` of a 440 Hz tone through the adapter onto a file, in buffers as a device delivers them.
    std::string Record(TPCMFormat pcm, double seconds, const std::string& name) {
        WAVEFORMATEX format;
        FillStockPCMFormat(format, pcm);
        const std::string path = (folder_ / name).string();
        TWaveStreamAdapter adapter(std::make_unique<FileStream>(path, TFileMode::fmCreate));
        EXPECT_TRUE(adapter.StartWriting(WaveFormatBlock(format)));
        const auto frames = static_cast<std::size_t>(seconds * format.nSamplesPerSec);
        std::vector<std::uint8_t> audio(frames * format.nBlockAlign);
        for (std::size_t i = 0; i < frames; ++i) {
            const double v = std::sin(2 * M_PI * 440.0 * static_cast<double>(i) / format.nSamplesPerSec) * 0.5;
            for (int c = 0; c < format.nChannels; ++c) {
                std::uint8_t* at = audio.data() + i * format.nBlockAlign + c * (format.wBitsPerSample / 8);
                if (format.wBitsPerSample == 8) {
                    *at = static_cast<std::uint8_t>(128 + std::lround(v * 127));
                } else {
                    PutSample16(at, static_cast<std::int16_t>(std::lround(v * 32767)));
                }
            }
        }
        const std::size_t buffer = BufferBytesForMilliseconds(format, 100);
        for (std::size_t at = 0; at < audio.size(); at += buffer) {
            const std::size_t n = std::min(buffer, audio.size() - at);
            EXPECT_EQ(adapter.WriteData(audio.data() + at, n), static_cast<std::int64_t>(n));
        }
        EXPECT_TRUE(adapter.FinishWriting()) << adapter.LastErrorText();
        return path;
    }

    std::filesystem::path folder_;
};

TEST_F(FfprobeReadsOurWaves, SixteenBitStereo) {
    const auto probe = ProbeAudio(Record(TPCMFormat::Stereo16bit44100Hz, 1.5, "stereo16.wav"));
    EXPECT_EQ(probe.count("codec_name") ? probe.at("codec_name") : "", "pcm_s16le");
    EXPECT_EQ(probe.count("sample_rate") ? probe.at("sample_rate") : "", "44100");
    EXPECT_EQ(probe.count("channels") ? probe.at("channels") : "", "2");
    ASSERT_TRUE(probe.count("duration"));
    EXPECT_NEAR(std::stod(probe.at("duration")), 1.5, 0.001);
}

TEST_F(FfprobeReadsOurWaves, EightBitMonoWithAnOddDataSize) {
    // 11025 bytes: the data chunk carries a pad byte.
    const auto probe = ProbeAudio(Record(TPCMFormat::Mono8bit11025Hz, 1.0, "mono8.wav"));
    EXPECT_EQ(probe.count("codec_name") ? probe.at("codec_name") : "", "pcm_u8");
    EXPECT_EQ(probe.count("sample_rate") ? probe.at("sample_rate") : "", "11025");
    EXPECT_EQ(probe.count("channels") ? probe.at("channels") : "", "1");
    ASSERT_TRUE(probe.count("duration"));
    EXPECT_NEAR(std::stod(probe.at("duration")), 1.0, 0.001);
}

}  // namespace
}  // namespace tolm::test

// Outputs named .mp4 and .mkv: tolm-record saves them as MP4 and Matroska that ffprobe reads with both streams
// and the recording's duration, and refuses a codec the file cannot hold before it records.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "integration/cli/TolmRecordFixture.h"
#include "integration/driver/PrivateServers.h"

namespace tolm::testing {
namespace {

// --duration stops at the first pass that reaches it: on a loaded machine a few frames late, never early.
constexpr double kEarly = 0.021;
constexpr double kLate = 0.121;

class ShareFormats : public OwnRuntime {
  protected:
    // Records `seconds` of `area` into `name` and returns the file's path; the recorder must succeed.
    std::string Record(const std::string& name, std::vector<std::string> options, const std::string& seconds = "5",
                       const std::string& area = "0,0,640,480") {
        const std::string out = folder.Path(name);
        std::vector<std::string> args{kBin + "/tolm-record", "--area", area, "--duration", seconds};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(out);
        EXPECT_EQ(Wait(Spawn(args, log_)), 0) << Slurp(log_);
        return out;
    }

    // ffprobe's format entries: format_name, duration, ...
    static std::map<std::string, std::string> ProbeFormat(const std::string& file) {
        int status = 0;
        std::istringstream lines(
            RunCommand("ffprobe -v error -show_entries format -of default=noprint_wrappers=1 " + Quote(file), status));
        std::map<std::string, std::string> entries;
        for (std::string line; std::getline(lines, line);)
            if (const auto eq = line.find('='); eq != std::string::npos)
                entries.emplace(line.substr(0, eq), line.substr(eq + 1));
        return entries;
    }

    static void ExpectSeconds(const std::string& file, double seconds) {
        const double duration = std::stod(ProbeFormat(file).at("duration"));
        EXPECT_GE(duration, seconds - kEarly);
        EXPECT_LE(duration, seconds + kLate);
    }

    std::string log_ = folder.Path("log.txt");
};

// Without --codec: an .mp4 name gets H.264, which the file can hold.
TEST_F(ShareFormats, Mp4HoldsH264AndAacForTheWholeRecordingIndexFirst) {
    TOLM_SKIP_WITHOUT_PULSE();
    const std::string out = Record("clip.mp4", {"--audio"});
    ASSERT_EQ(ProbeStreamCount(out), 2);
    const auto video = ProbeStream(out, 0);
    const auto sound = ProbeStream(out, 1);
    EXPECT_EQ(video.at("codec_name"), "h264");
    EXPECT_EQ(sound.at("codec_name"), "aac");
    ExpectSeconds(out, 5);
    EXPECT_NEAR(std::stod(sound.at("duration")), std::stod(video.at("duration")), 0.05);
    // +faststart: the index before the media data, so the file plays while it downloads.
    const std::string bytes = Slurp(out);
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat"));
}

TEST_F(ShareFormats, MkvCopiesTheDefaultCodecAndTheSound) {
    TOLM_SKIP_WITHOUT_PULSE();
    const std::string out = Record("clip.mkv", {"--audio"});
    ASSERT_EQ(ProbeStreamCount(out), 2);
    EXPECT_EQ(ProbeStream(out, 0).at("codec_name"), "mjpeg");
    EXPECT_EQ(ProbeStream(out, 1).at("codec_name"), "pcm_s16le");
    ExpectSeconds(out, 5);
}

// With neither sound nor compression after it, the temporary AVI alone would do for an .avi name, but
// under an .mp4 name it must be written again as MP4; a still screen is nearly all repeats.
TEST_F(ShareFormats, StillScreenWithNothingToJoinIsWrittenAsMp4) {
    const std::string out = Record("still.mp4", {"--codec", "H264", "--no-cursor"}, "3", "1500,800,320,240");
    const auto format = ProbeFormat(out);
    EXPECT_NE(format.at("format_name").find("mp4"), std::string::npos) << format.at("format_name");
    ExpectSeconds(out, 3);
}

TEST_F(ShareFormats, CodecTheFileCannotHoldIsRefusedBeforeRecording) {
    const std::string out = folder.Path("clip.mp4");
    EXPECT_EQ(
        Wait(Spawn({kBin + "/tolm-record", "--area", "0,0,320,240", "--duration", "1", "--codec", "MSVC", out}, log_)),
        1);
    const std::string log = Slurp(log_);
    EXPECT_NE(log.find("cannot be stored in an MP4 file"), std::string::npos) << log;
    EXPECT_EQ(log.find("Recording "), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(out));
}

// A killed recording's leftover in MS Video 1 is refused for MP4 and kept, then saved into Matroska.
TEST_F(ShareFormats, RecoveryRefusesWhatTheFileCannotHoldAndWritesTheNamedKind) {
    const pid_t recorder =
        Spawn({kBin + "/tolm-record", "--area", "0,0,320,240", "--codec", "MSVC", folder.Path("never.avi")}, log_);
    ASSERT_TRUE(WaitForRecording(log_)) << Slurp(log_);
    std::this_thread::sleep_for(2s);
    ::kill(recorder, SIGKILL);
    Wait(recorder);

    EXPECT_EQ(Wait(Spawn({kBin + "/tolm-record", "--recover", folder.Path("out.mp4")}, log_)), 1);
    EXPECT_NE(Slurp(log_).find("cannot be stored in an MP4 file"), std::string::npos) << Slurp(log_);
    const std::string out = folder.Path("out.mkv");
    ASSERT_EQ(Wait(Spawn({kBin + "/tolm-record", "--recover", out}, log_)), 0) << Slurp(log_);
    EXPECT_NE(ProbeFormat(out).at("format_name").find("matroska"), std::string::npos);
    EXPECT_EQ(ProbeStream(out, 0).at("codec_name"), "msvideo1");
}

}  // namespace
}  // namespace tolm::testing

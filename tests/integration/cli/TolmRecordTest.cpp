// tolm-record as a user runs it: on the display in $DISPLAY with a moving scene, stopped by its duration, by
// the hot keys pressed through XTEST (xdotool) or by a wrong output folder; the files are read back by ffprobe.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "audio/WaveStreamAdapter.h"
#include "integration/Requirements.h"
#include "integration/driver/PrivateServers.h"
#include "integration/ffmpeg/FfmpegTestSupport.h"

#include "TolmRecordFixture.h"

namespace tolm {
namespace {

using testing::kBin;
using testing::Keys;
using testing::Slurp;
using testing::Spawn;
using testing::TolmRecord;
using namespace std::chrono_literals;

// The length of the 44.1 kHz 16-bit stereo sound in a file's second stream: AVI files keep no duration for
// PCM, so the decoded bytes tell it (176400 a second).
double SoundSeconds(const std::string& file) {
    int status = 0;
    const std::string bytes =
        testing::RunCommand("ffmpeg -v error -i " + testing::Quote(file) + " -map 0:1 -f s16le - | wc -c", status);
    return std::stod(bytes) / 176400.0;
}

struct Codec {
    const char* option;
    const char* after;
    const char* probed;
};

class TolmRecordCodecs : public TolmRecord, public ::testing::WithParamInterface<Codec> {};

TEST_P(TolmRecordCodecs, ThreeSecondsPlayForThreeSeconds) {
    const Codec c = GetParam();
    const std::string out = folder.Path("three.avi");
    const std::string log = folder.Path("log.txt");
    std::vector<std::string> args{
        kBin + "/tolm-record", "--area", "0,0,640,480", "--duration", "3", "--codec", c.option};
    if (*c.after) args.push_back(c.after);
    args.push_back(out);
    ASSERT_EQ(Wait(Spawn(args, log)), 0) << Slurp(log);

    const auto video = testing::ProbeStream(out, 0);
    EXPECT_EQ(video.at("codec_name"), c.probed);
    EXPECT_EQ(video.at("width"), "640");
    EXPECT_EQ(video.at("height"), "480");
    EXPECT_EQ(video.at("r_frame_rate"), "50/1");
    // The recording stops at the first pass whose elapsed time reaches 3 s; on a loaded machine with a slow
    // encoder that pass can come a few frames late, never early.
    const int positions = std::stoi(video.at("nb_frames"));
    EXPECT_GE(positions, 149);
    EXPECT_LE(positions, 155);
    EXPECT_NEAR(std::stod(video.at("duration")), positions / 50.0, 0.021);
    // The scene's colour bars are there: the top-left bar is white, the second yellow.
    const auto frames = testing::DecodeFrames(out, 640, 480, 50);
    ASSERT_FALSE(frames.empty());
    const auto& f = frames[frames.size() / 2];
    EXPECT_GT(f[(10 * 640 + 10) * 4 + 2], 200);                  // white: red high
    EXPECT_GT(f[(10 * 640 + 10) * 4 + 0], 200);                  // and blue high
    EXPECT_LT(f[(10 * 640 + 300) * 4 + 0], 60) << "second bar";  // yellow: blue low
}

INSTANTIATE_TEST_SUITE_P(Codecs, TolmRecordCodecs,
                         ::testing::Values(Codec{"none", "", "rawvideo"}, Codec{"MJPG", "", "mjpeg"},
                                           Codec{"H264", "", "h264"}, Codec{"MJPG", "--after", "mjpeg"}),
                         [](const auto& info) {
                             return std::string(info.param.option) + (*info.param.after ? "After" : "");
                         });

TEST_F(TolmRecord, ShiftEscapeStopsAndSaves) {
    const std::string out = folder.Path("stopped.avi");
    const std::string log = folder.Path("log.txt");
    const pid_t pid = Spawn({kBin + "/tolm-record", "--area", "0,0,320,240", "--codec", "MJPG", out}, log);
    ASSERT_TRUE(WaitForRecording(log)) << Slurp(log);
    std::this_thread::sleep_for(1000ms);
    Keys("shift+Escape");
    ASSERT_EQ(Wait(pid), 0) << Slurp(log);
    EXPECT_GE(std::stoi(testing::ProbeStream(out, 0).at("nb_frames")), 25);
}

TEST_F(TolmRecord, InterruptStopsAndSaves) {
    const std::string out = folder.Path("interrupted.avi");
    const std::string log = folder.Path("log.txt");
    const pid_t pid =
        Spawn({kBin + "/tolm-record", "--area", "0,0,320,240", "--codec", "none", "--no-frame", out}, log);
    ASSERT_TRUE(WaitForRecording(log)) << Slurp(log);
    std::this_thread::sleep_for(1000ms);
    ::kill(pid, SIGINT);
    ASSERT_EQ(Wait(pid), 0) << Slurp(log);
    EXPECT_TRUE(std::filesystem::exists(out));
}

TEST_F(TolmRecord, SoundIsTheSecondStreamAndAsLongAsThePicture) {
    TOLM_SKIP_WITHOUT_PULSE();
    const std::string out = folder.Path("sound.avi");
    const std::string log = folder.Path("log.txt");
    ASSERT_EQ(Wait(Spawn({kBin + "/tolm-record", "--area", "0,0,320,240", "--duration", "5", "--codec", "MJPG",
                          "--audio", out},
                         log)),
              0)
        << Slurp(log);
    ASSERT_EQ(testing::ProbeStreamCount(out), 2);
    const auto video = testing::ProbeStream(out, 0);
    const auto sound = testing::ProbeStream(out, 1);
    EXPECT_EQ(video.at("codec_type"), "video");
    EXPECT_EQ(sound.at("codec_name"), "pcm_s16le");
    EXPECT_EQ(sound.at("sample_rate"), "44100");
    EXPECT_EQ(sound.at("channels"), "2");
    EXPECT_NEAR(SoundSeconds(out), std::stod(video.at("duration")), 0.060) << Slurp(log);
}

TEST_F(TolmRecord, AtTwentyFourFramesASecondTheSoundKeepsPaceWithThePicture) {
    TOLM_SKIP_WITHOUT_PULSE();
    const std::string out = folder.Path("sound24.avi");
    const std::string log = folder.Path("log.txt");
    // 41 ms is what the window's automatic mode sets for 24 fps: the picture must still play in real time.
    ASSERT_EQ(Wait(Spawn({kBin + "/tolm-record", "--area", "0,0,320,240", "--duration", "5", "--codec", "MJPG", "--fps",
                          "24", "--mspf", "41", "--audio", out},
                         log)),
              0)
        << Slurp(log);
    EXPECT_NEAR(SoundSeconds(out), std::stod(testing::ProbeStream(out, 0).at("duration")), 1.0 / 24) << Slurp(log);
}

TEST_F(TolmRecord, SoundHandedOverAheadEndsWithThePicture) {
    // This server's one source hands over its sound two seconds at a time, ahead of when it plays.
    testing::PrivatePulse pulse;
    TOLM_SKIP_UNLESS(!pulse.Address().empty(), "TOLM_REQUIRE_PULSE", "a private PulseAudio did not start");
    const testing::ScopedEnv server("PULSE_SERVER", pulse.Address());
    const std::string log = folder.Path("log.txt");
    // Stopped just after a delivery, the input has handed over more than the picture holds; just before the
    // next one, less.
    for (const std::string seconds : {"5", "4"}) {
        SCOPED_TRACE(seconds);
        const std::string out = folder.Path("ahead" + seconds + ".avi");
        ASSERT_EQ(Wait(Spawn({kBin + "/tolm-record", "--area", "0,0,640,480", "--duration", seconds, "--codec", "MJPG",
                              "--audio", out},
                             log)),
                  0)
            << Slurp(log);
        // Within one frame (20 ms).
        EXPECT_NEAR(SoundSeconds(out), std::stod(testing::ProbeStream(out, 0).at("duration")), 0.020) << Slurp(log);
    }
}

TEST_F(TolmRecord, SoundWithoutAServerFailsAndLeavesNoFile) {
    const std::string out = folder.Path("nosound.avi");
    const std::string log = folder.Path("log.txt");
    pid_t pid = -1;
    {
        const testing::ScopedEnv server("PULSE_SERVER", "unix:" + folder.Path("no-such-socket"));
        pid = Spawn({kBin + "/tolm-record", "--area", "0,0,320,240", "--duration", "2", "--audio", out}, log);
    }
    EXPECT_NE(Wait(pid), 0);
    EXPECT_NE(Slurp(log).find("Can not record sound: "), std::string::npos) << Slurp(log);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(TolmRecord, KilledRecorderLeavesAReadableTemporaryWave) {
    TOLM_SKIP_WITHOUT_PULSE();
    const std::string out = folder.Path("killed.avi");
    const std::string log = folder.Path("log.txt");
    const std::string runtime = folder.Path("runtime");
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    // The engine's temporary files go below these folders; the sound server is reached by PULSE_SERVER.
    pid_t pid = -1;
    {
        const testing::ScopedEnv runtimeEnv("XDG_RUNTIME_DIR", runtime);
        const testing::ScopedEnv cacheEnv("XDG_CACHE_HOME", runtime);
        pid = Spawn({kBin + "/tolm-record", "--audio", "--area", "0,0,320,240", "--codec", "MJPG", out}, log);
    }
    const bool recording = WaitForRecording(log);
    if (recording) std::this_thread::sleep_for(4000ms);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ASSERT_TRUE(recording) << Slurp(log);

    std::string wave;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(runtime)) {
        if (entry.path().filename() == "tmpAudioStream.wav") wave = entry.path().string();
    }
    ASSERT_FALSE(wave.empty()) << "no temporary wave under " << runtime;
    const auto sound = testing::ProbeStream(wave, 0);
    EXPECT_EQ(sound.at("codec_name"), "pcm_s16le");
    // The header covers all but the last second or two of the 4 s recorded.
    int status = 0;
    const std::string bytes =
        testing::RunCommand("ffmpeg -v error -i " + testing::Quote(wave) + " -f s16le - | wc -c", status);
    const double perSecond = std::stod(sound.at("sample_rate")) * std::stod(sound.at("channels")) * 2;
    EXPECT_GE(std::stod(bytes) / perSecond, 2.0) << Slurp(log);
    // ffmpeg reads a data chunk of size 0 up to the end of the file; our reader goes by the sizes alone.
    TWaveStreamAdapter reader(std::make_unique<FileStream>(wave, TFileMode::fmOpenRead));
    ASSERT_TRUE(reader.Valid()) << reader.LastErrorText();
    EXPECT_GE(reader.DataSize(), 2 * perSecond);
}

TEST_F(TolmRecord, AudioInputsAreListedAndAnUnknownOneIsRefused) {
    TOLM_SKIP_WITHOUT_PULSE();
    const std::string log = folder.Path("log.txt");
    ASSERT_EQ(Wait(Spawn({kBin + "/tolm-record", "--list-audio-inputs"}, log)), 0) << Slurp(log);
    EXPECT_NE(Slurp(log).find("volume "), std::string::npos) << Slurp(log);
    EXPECT_EQ(
        Wait(Spawn({kBin + "/tolm-record", "--audio", "--audio-input", "No Such Input", folder.Path("x.avi")}, log)),
        2);
    EXPECT_NE(Slurp(log).find("No sound input is named"), std::string::npos) << Slurp(log);
}

// The input is the recording's own choice: the desktop's default source stays what it was.
TEST_F(TolmRecord, TheSecondOfTwoInputsOfOneNameCanBeChosen) {
    testing::PrivatePulse pulse;
    TOLM_SKIP_UNLESS(!pulse.Address().empty(), "TOLM_REQUIRE_PULSE", "a private PulseAudio did not start");
    const std::string pactl = "pactl -s " + pulse.Address() + " ";
    int status = 0;
    for (const char* name : {"twin_one", "twin_two"}) {
        testing::RunCommand(pactl + "load-module module-null-source description=Twin source_name=" + name, status);
        ASSERT_EQ(status, 0);
    }
    const std::string desktopDefault = testing::RunCommand(pactl + "get-default-source", status);
    const testing::ScopedEnv server("PULSE_SERVER", pulse.Address());
    const std::string log = folder.Path("log.txt");
    ASSERT_EQ(Wait(Spawn({kBin + "/tolm-record", "--list-audio-inputs"}, log)), 0) << Slurp(log);
    EXPECT_NE(Slurp(log).find("Twin (2)"), std::string::npos) << Slurp(log);
    const pid_t recorder = Spawn({kBin + "/tolm-record", "--area", "0,0,320,240", "--duration", "2", "--audio",
                                  "--audio-input", "Twin (2)", folder.Path("twin.avi")},
                                 log);
    ASSERT_TRUE(WaitForRecording(log)) << Slurp(log);
    // The recording's stream reads from twin_two: "<stream>\t<source index>\t...".
    const std::string twoIndex = testing::RunCommand(pactl + "list short sources | grep twin_two | cut -f1", status);
    const std::string streams = testing::RunCommand(pactl + "list short source-outputs | cut -f2", status);
    EXPECT_EQ(streams, twoIndex);
    EXPECT_EQ(Wait(recorder), 0) << Slurp(log);
    EXPECT_EQ(testing::RunCommand(pactl + "get-default-source", status), desktopDefault);
}

TEST_F(TolmRecord, AHugeAreaIsRefusedForItsSizeBeforeAnyCompressorIsSought) {
    const std::string log = folder.Path("log.txt");
    EXPECT_EQ(
        Wait(Spawn({kBin + "/tolm-record", "--area", "0,0,65536,65536", "--codec", "MJPG", folder.Path("x.avi")}, log)),
        2);
    EXPECT_NE(Slurp(log).find("The area 65536x65536 is too large to record"), std::string::npos) << Slurp(log);
}

TEST_F(TolmRecord, MissingFolderFailsWithItsMessage) {
    const std::string log = folder.Path("log.txt");
    EXPECT_NE(Wait(Spawn({kBin + "/tolm-record", "--duration", "1", "/nonexistent-tolm-folder/x.avi"}, log)), 0);
    EXPECT_NE(Slurp(log).find("Not exist file path."), std::string::npos) << Slurp(log);
}

}  // namespace
}  // namespace tolm

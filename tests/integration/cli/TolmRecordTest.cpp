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
#include <string>
#include <thread>

#include "integration/Requirements.h"
#include "integration/ffmpeg/FfmpegTestSupport.h"

namespace tolm {
namespace {

using namespace std::chrono_literals;

const std::string kBin = TOLM_BIN_DIR;

class TolmRecord : public ::testing::Test {
protected:
    void SetUp() override {
        TOLM_SKIP_WITHOUT_DISPLAY();
        scene_ = Spawn({kBin + "/tolm-scene", "--fps", "50"});
        std::this_thread::sleep_for(300ms);  // the scene's first exposure; it only has to be on screen
    }
    void TearDown() override {
        if (scene_ > 0) {
            ::kill(scene_, SIGTERM);
            ::waitpid(scene_, nullptr, 0);
        }
    }

    static pid_t Spawn(std::vector<std::string> args, const std::string& log = "/dev/null") {
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::freopen(log.c_str(), "w", stdout);
            std::freopen(log.c_str(), "a", stderr);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        return pid;
    }
    // The exit status; a recorder still running after the timeout is killed and counts as a failure.
    static int Wait(pid_t pid, std::chrono::seconds timeout = 60s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                ADD_FAILURE() << "the recorder did not end in time";
                return 128;
            }
            std::this_thread::sleep_for(50ms);
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    // Waits until the recorder says it records (its keys are grabbed by then).
    static bool WaitForRecording(const std::string& log) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Slurp(log).find("Recording ") != std::string::npos) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }
    static std::string Slurp(const std::string& path) {
        int status = 0;
        return testing::RunCommand("cat " + testing::Quote(path), status);
    }
    static void Key(const std::string& keys) {
        int status = 0;
        testing::RunCommand("xdotool key " + keys, status);
        EXPECT_EQ(status, 0) << "xdotool key " << keys;
    }

    testing::TempFolder folder;
    pid_t scene_ = -1;
};

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
    std::vector<std::string> args{kBin + "/tolm-record", "--area", "0,0,640,480", "--duration", "3", "--codec", c.option};
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
    EXPECT_GT(f[(10 * 640 + 10) * 4 + 2], 200);                    // white: red high
    EXPECT_GT(f[(10 * 640 + 10) * 4 + 0], 200);                    // and blue high
    EXPECT_LT(f[(10 * 640 + 300) * 4 + 0], 60) << "second bar";    // yellow: blue low
}

INSTANTIATE_TEST_SUITE_P(Codecs, TolmRecordCodecs,
                         ::testing::Values(Codec{"none", "", "rawvideo"}, Codec{"MJPG", "", "mjpeg"},
                                           Codec{"H264", "", "h264"}, Codec{"MJPG", "--after", "mjpeg"}),
                         [](const auto& info) { return std::string(info.param.option) + (*info.param.after ? "After" : ""); });

TEST_F(TolmRecord, ShiftEscapeStopsAndSaves) {
    const std::string out = folder.Path("stopped.avi");
    const std::string log = folder.Path("log.txt");
    const pid_t pid = Spawn({kBin + "/tolm-record", "--area", "0,0,320,240", "--codec", "MJPG", out}, log);
    ASSERT_TRUE(WaitForRecording(log)) << Slurp(log);
    std::this_thread::sleep_for(1000ms);
    Key("shift+Escape");
    ASSERT_EQ(Wait(pid), 0) << Slurp(log);
    EXPECT_GE(std::stoi(testing::ProbeStream(out, 0).at("nb_frames")), 25);
}

TEST_F(TolmRecord, EscapeCancelsAndLeavesNoFile) {
    const std::string out = folder.Path("cancelled.avi");
    const std::string log = folder.Path("log.txt");
    const pid_t pid = Spawn({kBin + "/tolm-record", "--area", "0,0,320,240", "--codec", "none", out}, log);
    ASSERT_TRUE(WaitForRecording(log)) << Slurp(log);
    std::this_thread::sleep_for(1000ms);
    Key("Escape");
    EXPECT_NE(Wait(pid), 0) << Slurp(log);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(TolmRecord, InterruptStopsAndSaves) {
    const std::string out = folder.Path("interrupted.avi");
    const std::string log = folder.Path("log.txt");
    const pid_t pid = Spawn({kBin + "/tolm-record", "--area", "0,0,320,240", "--codec", "none", "--no-frame", out}, log);
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
    // AVI files keep no duration for PCM; the decoded bytes tell it (176400 a second).
    int status = 0;
    const std::string bytes =
        testing::RunCommand("ffmpeg -v error -i " + testing::Quote(out) + " -map 0:1 -f s16le - | wc -c", status);
    EXPECT_NEAR(std::stod(bytes) / 176400.0, std::stod(video.at("duration")), 0.060) << Slurp(log);
}

TEST_F(TolmRecord, SoundWithoutAServerFailsAndLeavesNoFile) {
    const std::string out = folder.Path("nosound.avi");
    const std::string log = folder.Path("log.txt");
    const char* saved = std::getenv("PULSE_SERVER");
    const std::string previous = saved ? saved : "";
    ::setenv("PULSE_SERVER", ("unix:" + folder.Path("no-such-socket")).c_str(), 1);
    const pid_t pid =
        Spawn({kBin + "/tolm-record", "--area", "0,0,320,240", "--duration", "2", "--audio", out}, log);
    if (saved) ::setenv("PULSE_SERVER", previous.c_str(), 1); else ::unsetenv("PULSE_SERVER");
    EXPECT_NE(Wait(pid), 0);
    EXPECT_NE(Slurp(log).find("Can not record sound: "), std::string::npos) << Slurp(log);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(TolmRecord, AudioInputsAreListedAndAnUnknownOneIsRefused) {
    TOLM_SKIP_WITHOUT_PULSE();
    const std::string log = folder.Path("log.txt");
    ASSERT_EQ(Wait(Spawn({kBin + "/tolm-record", "--list-audio-inputs"}, log)), 0) << Slurp(log);
    EXPECT_NE(Slurp(log).find("volume "), std::string::npos) << Slurp(log);
    EXPECT_EQ(Wait(Spawn({kBin + "/tolm-record", "--audio", "--audio-input", "No Such Input", folder.Path("x.avi")},
                         log)),
              2);
    EXPECT_NE(Slurp(log).find("No sound input is named"), std::string::npos) << Slurp(log);
}

TEST_F(TolmRecord, MissingFolderFailsWithItsMessage) {
    const std::string log = folder.Path("log.txt");
    EXPECT_NE(Wait(Spawn({kBin + "/tolm-record", "--duration", "1", "/nonexistent-tolm-folder/x.avi"}, log)), 0);
    EXPECT_NE(Slurp(log).find("Not exist file path."), std::string::npos) << Slurp(log);
}

}  // namespace
}  // namespace tolm

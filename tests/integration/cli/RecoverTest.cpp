// A recording whose recorder was killed is saved by the next tolm-record --recover from what it left in the
// private temporary folder: the picture and the sound joined as a normal save joins them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "integration/Requirements.h"
#include "integration/cli/TolmRecordFixture.h"

namespace tolm::testing {
namespace {

const std::string kRecorder = kBin + "/tolm-record";

using Recover = OwnRuntime;

TEST_F(Recover, AKilledRecordingIsSavedWithItsSoundAndItsLeftoversGo) {
    TOLM_SKIP_WITHOUT_PULSE();
    const std::string log = folder.Path("record.txt");
    const pid_t recorder =
        Spawn({kRecorder, "--area", "0,0,320,240", "--codec", "MJPG", "--audio", folder.Path("never.avi")}, log);
    ASSERT_TRUE(WaitForRecording(log)) << Slurp(log);
    std::this_thread::sleep_for(5s);
    ::kill(recorder, SIGKILL);
    Wait(recorder);
    ASSERT_TRUE(std::filesystem::exists(LeftoverFolder() + "/tmpVideoStream.avi")) << Slurp(log);

    const std::string out = folder.Path("out.avi");
    const std::string recoverLog = folder.Path("recover.txt");
    ASSERT_EQ(Wait(Spawn({kRecorder, "--recover", out}, recoverLog)), 0) << Slurp(recoverLog);
    EXPECT_NE(Slurp(recoverLog).find("Recovering "), std::string::npos) << Slurp(recoverLog);
    ASSERT_EQ(ProbeStreamCount(out), 2) << Slurp(recoverLog);
    const auto video = ProbeStream(out, 0);
    const auto sound = ProbeStream(out, 1);
    EXPECT_EQ(video.at("codec_type"), "video");
    EXPECT_EQ(sound.at("codec_name"), "pcm_s16le");
    // All but the last moment of the five seconds is there: the file is brought up to date every second.
    EXPECT_GE(std::stod(video.at("nb_frames")) / 50.0, 3.0);
    int status = 0;
    const std::string bytes = RunCommand("ffmpeg -v error -i " + Quote(out) + " -map 0:1 -f s16le - | wc -c", status);
    EXPECT_GE(std::stod(bytes) / 176400.0, 3.0);

    EXPECT_FALSE(std::filesystem::exists(LeftoverFolder() + "/tmpVideoStream.avi"));
    EXPECT_FALSE(std::filesystem::exists(LeftoverFolder() + "/tmpAudioStream.wav"));
    // Saved once: a second attempt finds nothing and touches nothing.
    const std::string again = folder.Path("again.txt");
    EXPECT_EQ(Wait(Spawn({kRecorder, "--recover", folder.Path("again.avi")}, again)), 1);
    EXPECT_NE(Slurp(again).find("Nothing to recover."), std::string::npos) << Slurp(again);
    EXPECT_FALSE(std::filesystem::exists(folder.Path("again.avi")));
}

// Escape may have been meant for another program: the recording is kept, and --recover saves it as its own save
// would have, compressed after the recording.
TEST_F(Recover, EscapeKeepsTheRecordingWhichRecoverSavesAsItsSaveWould) {
    const std::string log = folder.Path("record.txt");
    const std::string cancelled = folder.Path("cancelled.avi");
    const pid_t recorder =
        Spawn({kRecorder, "--area", "0,0,320,240", "--codec", "MJPG", "--after", "--no-frame", cancelled}, log);
    ASSERT_TRUE(WaitForRecording(log)) << Slurp(log);
    std::this_thread::sleep_for(2s);
    Keys("Escape");
    EXPECT_EQ(Wait(recorder), 1) << Slurp(log);
    EXPECT_NE(Slurp(log).find("The recording was cancelled; it is kept in "), std::string::npos) << Slurp(log);
    EXPECT_FALSE(std::filesystem::exists(cancelled));

    const std::string out = folder.Path("out.avi");
    const std::string recoverLog = folder.Path("recover.txt");
    ASSERT_EQ(Wait(Spawn({kRecorder, "--recover", out}, recoverLog)), 0) << Slurp(recoverLog);
    EXPECT_EQ(ProbeStream(out, 0).at("codec_name"), "mjpeg");
}

TEST_F(Recover, NothingLeftIsSaidAndNoFileIsMade) {
    const std::string log = folder.Path("recover.txt");
    EXPECT_EQ(Wait(Spawn({kRecorder, "--recover", folder.Path("out.avi")}, log)), 1);
    EXPECT_NE(Slurp(log).find("Nothing to recover."), std::string::npos) << Slurp(log);
    EXPECT_FALSE(std::filesystem::exists(folder.Path("out.avi")));
}

}  // namespace
}  // namespace tolm::testing

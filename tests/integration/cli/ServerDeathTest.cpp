// tolm-record when a server it uses dies mid-recording: the X server (the recording ends and is saved up to
// there; hot keys, frame window and area timer on the dead connection neither crash nor hang) and the sound
// server (the picture goes on to the end, the sound stops there). Each server is the test's own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "integration/cli/TolmRecordFixture.h"
#include "integration/driver/PrivateServers.h"

namespace tolm::testing {
namespace {

const std::string kRecorder = kBin + "/tolm-record";

// The recorders' temporary folder is the test's.
using ServerDeath = OwnRuntime;

TEST_F(ServerDeath, XServerKilledEndsTheRecordingWithOneMessageAndSavesIt) {
    PrivateXvfb x;
    ASSERT_FALSE(x.DisplayName().empty()) << "Xvfb did not start";
    const ScopedEnv display("DISPLAY", x.DisplayName());
    const std::string out = folder.Path("x.avi");
    const std::string log = folder.Path("x.txt");
    const pid_t recorder = Spawn({kRecorder, "--area", "0,0,320,240", "--codec", "MJPG", out}, log);
    ASSERT_TRUE(WaitForRecording(log)) << Slurp(log);
    std::this_thread::sleep_for(2500ms);
    x.Kill();
    // Saved, but cut short by the fault: 3.
    EXPECT_EQ(Wait(recorder), 3) << Slurp(log);
    const std::string text = Slurp(log);
    // Its keys were grabbed and its frame shown on that display ("... Pause pauses." says so): they went with
    // it quietly.
    EXPECT_NE(text.find("Pause pauses."), std::string::npos) << text;
    EXPECT_EQ(Count(text, "tolm-record: "), 1) << text;
    EXPECT_EQ(Count(text, "tolm-record: Error capturing a frame from screen. Lost the connection to the X display " +
                              x.DisplayName() + ". The recording was stopped; what was captured until then is saved."),
              1)
        << text;
    EXPECT_NE(text.find("Saved " + out), std::string::npos) << text;
    EXPECT_GE(std::stod(ProbeStream(out, 0).at("nb_frames")) / 50.0, 1.5);
}

TEST_F(ServerDeath, FrozenXServerIsLeftAfterTheCancelAndWhatWasRecordedIsRecovered) {
    const std::string log = folder.Path("frozen.txt");
    {
        PrivateXvfb x;
        ASSERT_FALSE(x.DisplayName().empty()) << "Xvfb did not start";
        const ScopedEnv display("DISPLAY", x.DisplayName());
        const pid_t recorder =
            Spawn({kRecorder, "--area", "0,0,320,240", "--codec", "MJPG", folder.Path("no.avi")}, log);
        ASSERT_TRUE(WaitForRecording(log)) << Slurp(log);
        std::this_thread::sleep_for(2500ms);
        // A server that stops answering keeps the grab and the frame's drawing waiting for ever: the stop
        // cannot come through, the cancel ends the program after its time limit.
        x.Freeze();
        std::this_thread::sleep_for(500ms);
        ::kill(recorder, SIGINT);
        std::this_thread::sleep_for(1000ms);
        ::kill(recorder, SIGINT);
        EXPECT_EQ(Wait(recorder), 1) << Slurp(log);
    }
    const std::string text = Slurp(log);
    EXPECT_EQ(Count(text,
                    "tolm-record: The recording does not end (a display, device or disk does not answer); "
                    "leaving it. What was recorded stays for tolm-record --recover."),
              1)
        << text;
    const std::string out = folder.Path("recovered.avi");
    const std::string recoverLog = folder.Path("recover.txt");
    EXPECT_EQ(Wait(Spawn({kRecorder, "--recover", out}, recoverLog)), 0) << Slurp(recoverLog);
    EXPECT_GE(std::stod(ProbeStream(out, 0).at("nb_frames")) / 50.0, 1.5);
}

// A recording with sound from a sound server of the test's own, which the test then takes away in part or whole.
class SoundFault : public ServerDeath {
  protected:
    void SetUp() override {
        ServerDeath::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        TOLM_SKIP_UNLESS(!pulse.Address().empty(), "TOLM_REQUIRE_PULSE", "a private PulseAudio did not start");
    }

    // tolm-record recording 6 s with sound (from the input named `input`, if any), once it records.
    pid_t StartRecording(const std::string& input = "") {
        const ScopedEnv server("PULSE_SERVER", pulse.Address());
        std::vector<std::string> args = {kRecorder, "--area",     "0,0,320,240", "--codec", "MJPG",
                                         "--audio", "--duration", "6",           out};
        if (!input.empty()) args.insert(args.end() - 1, {"--audio-input", input});
        const pid_t recorder = Spawn(args, log);
        EXPECT_TRUE(WaitForRecording(log)) << Slurp(log);
        return recorder;
    }

    // The recording is saved, says once that it lost its sound, and ends with 3.
    void ExpectSoundLost(pid_t recorder) {
        EXPECT_EQ(Wait(recorder), 3) << Slurp(log);
        const std::string text = Slurp(log);
        EXPECT_EQ(Count(text, "tolm-record: "), 1) << text;
        EXPECT_EQ(Count(text, "tolm-record: The sound input was lost; the recording goes on without sound."), 1)
            << text;
        EXPECT_EQ(text.find("TOLM Screen Capture: "), std::string::npos) << text;  // nor one from the sound layer
    }

    void Pactl(const std::string& arguments) {
        int status = 0;
        RunCommand("pactl -s " + pulse.Address() + " " + arguments, status);
        EXPECT_EQ(status, 0) << arguments;
    }

    PrivatePulse pulse;
    const std::string out = folder.Path("sound.avi");
    const std::string log = folder.Path("sound.txt");
};

TEST_F(SoundFault, SoundServerKilledLeavesThePictureToTheEndAndTheSoundCutThere) {
    const pid_t recorder = StartRecording();
    std::this_thread::sleep_for(1500ms);
    pulse.Kill();
    ExpectSoundLost(recorder);

    ASSERT_EQ(ProbeStreamCount(out), 2) << Slurp(log);
    const double pictureSeconds = std::stod(ProbeStream(out, 0).at("nb_frames")) / 50.0;
    EXPECT_GE(pictureSeconds, 5.9);
    const auto sound = ProbeStream(out, 1);
    ASSERT_EQ(sound.at("codec_name"), "pcm_s16le");
    int status = 0;
    const std::string bytes = RunCommand("ffmpeg -v error -i " + Quote(out) + " -map 0:1 -f s16le - | wc -c", status);
    const double soundSeconds =
        std::stod(bytes) / (std::stod(sound.at("sample_rate")) * std::stod(sound.at("channels")) * 2.0);
    // What came before the kill is there; the source hands out sound in bursts of up to two seconds ahead.
    EXPECT_GT(soundSeconds, 0.5);
    EXPECT_LT(soundSeconds, pictureSeconds - 1.0);
}

// The chosen input goes while another stays, to which the server would move the recording's stream.
TEST_F(SoundFault, ChosenInputUnloadedIsALostInputNotAnotherOne) {
    Pactl("load-module module-null-source source_name=spare");
    const pid_t recorder = StartRecording("Sine source at 440 Hz");
    std::this_thread::sleep_for(1500ms);
    Pactl("unload-module module-sine-source");
    ExpectSoundLost(recorder);
}

}  // namespace
}  // namespace tolm::testing

// The window program killed while it records, then started again: it asks about the interrupted recording and
// saves it beside the output file without replacing anything (yes), or deletes it (no). ffprobe reads what was
// saved.
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "integration/gui/GuiDriver.h"

namespace tolm::testing {
namespace {

namespace fs = std::filesystem;

class TolmCaptureRecovery : public GuiTest {
  protected:
    // Records into the default output for `seconds`, then kills the program as a crash or a power cut would.
    void RecordAndKill(std::chrono::seconds seconds) {
        const std::string log = folder_.Path("first.txt");
        const pid_t pid = Start(log);
        const std::string window = FindWindow(kMainTitle);
        ASSERT_FALSE(window.empty()) << Slurp(log);
        ChooseRegionSetByUser(window);  // the area stays put
        Click(window, kRecordButton);
        AcceptDefaultCompressor();
        ASSERT_TRUE(WaitForText(log, "Recording...", 30s)) << Slurp(log);
        std::this_thread::sleep_for(seconds);
        Kill(pid);
        ASSERT_TRUE(fs::exists(TempVideo())) << Slurp(log);
    }
};

TEST_F(TolmCaptureRecovery, YesSavesTheKilledRecordingBesideTheOutputWithoutReplacingIt) {
    RecordAndKill(4s);
    const std::string output = DefaultOutput();
    std::ofstream(output) << "an earlier recording";

    const std::string log = folder_.Path("second.txt");
    const pid_t pid = Start(log);
    ASSERT_FALSE(FindWindow("Notice").empty()) << Slurp(log);
    Keys("Return");
    ASSERT_TRUE(WaitForText(log, "Saving Success...", 60s)) << Slurp(log);
    ASSERT_TRUE(WaitForText(log, "No Status", 30s)) << Slurp(log);

    EXPECT_EQ(Slurp(output), "an earlier recording");
    const std::string recovered = home_ + "/Capture (recovered).avi";
    ASSERT_TRUE(fs::exists(recovered)) << Slurp(log);
    const auto video = ProbeStream(recovered, 0);
    EXPECT_EQ(video.at("codec_type"), "video");
    EXPECT_EQ(video.at("width"), "300");
    // All but the last moment: the file on disk is brought up to date every second while recording.
    EXPECT_GE(std::stod(video.at("duration")), 2.0);
    int status = 0;
    const std::string decode = "ffmpeg -nostdin -v error -i " + Quote(recovered) + " -f null - 2>&1";
    EXPECT_EQ(RunCommand(decode, status), "");
    EXPECT_FALSE(fs::exists(TempVideo()));
    ::kill(pid, SIGTERM);
}

TEST_F(TolmCaptureRecovery, NoDeletesTheKilledRecordingAndTheNextStartAsksNothing) {
    RecordAndKill(2s);
    const std::string log = folder_.Path("second.txt");
    const pid_t pid = Start(log);
    ASSERT_FALSE(FindWindow("Notice").empty()) << Slurp(log);
    Keys("Escape");  // the question's "No": while idle the recorder holds no keys
    EXPECT_TRUE(PollUntil([&] { return !fs::exists(TempVideo()); }, 30s));
    EXPECT_FALSE(fs::exists(DefaultOutput()));
    Kill(pid);

    const std::string again = folder_.Path("third.txt");
    Start(again);
    ASSERT_FALSE(FindWindow(kMainTitle).empty()) << Slurp(again);
    EXPECT_TRUE(FindWindow("Notice", 3s).empty());
}

}  // namespace
}  // namespace tolm::testing

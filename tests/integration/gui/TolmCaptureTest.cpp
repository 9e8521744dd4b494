// The window program as a user drives it; ffprobe reads what it saved.
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "integration/driver/PrivateServers.h"
#include "integration/gui/GuiDriver.h"

namespace tolm::testing {
namespace {

namespace fs = std::filesystem;

class TolmCapture : public GuiTest {
  protected:
    // Clicks Record, takes the default compressor and waits until the state line says "Recording..." once more.
    void StartRecordingFromTheWindow(const std::string& window, const std::string& log) {
        const int before = CountText(log, kRecordingLine);
        Click(window, kRecordButton);
        AcceptDefaultCompressor();
        ASSERT_TRUE(WaitForCount(log, kRecordingLine, before + 1, 30s)) << Slurp(log);
    }

    static double Duration(const std::string& file) { return std::stod(ProbeStream(file, 0).at("duration")); }
};

TEST_F(TolmCapture, RecordButtonThenStopButtonSavesThreeSecondsAndASecondCopyIsRefused) {
    const std::string log = folder_.Path("log.txt");
    const pid_t pid = Start(log);
    const std::string window = FindWindow(kMainTitle);
    ASSERT_FALSE(window.empty()) << Slurp(log);
    ChooseRegionSetByUser(window);

    // A second copy says so and opens no window of its own.
    const std::string log2 = folder_.Path("log2.txt");
    const pid_t second = Start(log2);
    const std::string refusal = FindWindow("Tolm-capture");
    ASSERT_FALSE(refusal.empty()) << Slurp(log2);
    EXPECT_NE(Run("xdotool getwindowname " + refusal), "");
    Keys("Return");
    EXPECT_EQ(Wait(second, 20s), 0) << Slurp(log2);

    StartRecordingFromTheWindow(window, log);
    std::this_thread::sleep_for(3s);
    Click(window, kStopButton);
    ASSERT_TRUE(WaitForText(log, "No Status", 60s)) << Slurp(log);

    ASSERT_TRUE(fs::exists(DefaultOutput())) << Slurp(log);
    const auto video = ProbeStream(DefaultOutput(), 0);
    EXPECT_EQ(video.at("codec_type"), "video");
    EXPECT_EQ(video.at("width"), "300");
    EXPECT_GE(std::stod(video.at("duration")), 2.5);
    ::kill(pid, SIGTERM);
}

TEST_F(TolmCapture, EscapeDuringARecordingLeavesNoFileButOffersItsSave) {
    const std::string log = folder_.Path("log.txt");
    const std::string window = StartAndShow(log);
    ChooseRegionSetByUser(window);
    StartRecordingFromTheWindow(window, log);
    std::this_thread::sleep_for(1s);
    Keys("Escape");
    ASSERT_TRUE(WaitForText(log, "Preview Off...", 30s)) << Slurp(log);
    EXPECT_TRUE(WaitForText(log, "tolm-capture: Recording cancelled \u2014 Save it anyway", 30s)) << Slurp(log);
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(fs::exists(DefaultOutput()));
}

// Record clicked again and again from the stop on, while the last recording is still being finished (a full
// screen drains the default compressor's queue for a while): the window keeps serving the save, which lands under
// the first recording's name, and stays alive and closable.
TEST_F(TolmCapture, RecordClickedDuringTheSaveLeavesTheWindowAliveAndTheRecordingSaved) {
    const std::string log = folder_.Path("log.txt");
    const pid_t pid = Start(log);
    const std::string window = FindWindow(kMainTitle);
    ASSERT_FALSE(window.empty()) << Slurp(log);
    ChooseRegion(window, 4);
    StartRecordingFromTheWindow(window, log);
    std::this_thread::sleep_for(2s);
    Click(window, kStopButton);
    Run("xdotool mousemove --window " + window + " 46 226 click --repeat 20 --delay 50 1");
    ASSERT_TRUE(WaitForText(log, "Saving Success...", 60s)) << Slurp(log);
    ASSERT_TRUE(fs::exists(DefaultOutput())) << Slurp(log);
    EXPECT_GE(Duration(DefaultOutput()), 1.5);
    ASSERT_TRUE(WaitForCount(log, kReadyLine, 1, 30s)) << Slurp(log);
    Keys("Escape");  // whatever a late click started
    EXPECT_EQ(CloseAndWait(window, pid, 60s), 0) << Slurp(log);
}

// A save that fails for lack of space: afterwards the window can be closed, and a Cancel click then does not
// end the next recording's save.
TEST_F(TolmCapture, AFailedSaveLeavesTheWindowIdleAndTheNextRecordingIsSaved) {
    // A file system of its own that fills up.
    const std::string disk = folder_.Path("small");
    const ScopedTmpfs mounted(disk, "size=128m");
    if (!mounted.Mounted()) GTEST_SKIP() << "cannot mount a small disk";
    const std::string output = disk + "/clip.avi";
    const std::string log = folder_.Path("log.txt");
    const pid_t pid = Start(log);
    const std::string window = FindWindow(kMainTitle);
    ASSERT_FALSE(window.empty()) << Slurp(log);
    ChooseRegionSetByUser(window);
    TypeInto(window, kOutputEdit, output);

    StartRecordingFromTheWindow(window, log);
    Run("dd if=/dev/zero of=" + Quote(disk + "/filler") + " bs=1M 2>/dev/null");  // the disk fills meanwhile
    std::this_thread::sleep_for(2s);
    Click(window, kStopButton);
    ASSERT_TRUE(WaitForText(log, "could not be saved", 60s)) << Slurp(log);
    ASSERT_TRUE(WaitForCount(log, kReadyLine, 1, 30s)) << Slurp(log);
    DismissAll("Error");           // the failure, and where the recording was kept
    Click(window, kCancelButton);  // still enabled, it would have cancelled the next save
    fs::remove(disk + "/filler");

    StartRecordingFromTheWindow(window, log);
    std::this_thread::sleep_for(2s);
    Click(window, kStopButton);
    EXPECT_TRUE(WaitForText(log, "Saving Success...", 60s)) << Slurp(log);
    EXPECT_TRUE(fs::exists(output)) << Slurp(log);
    EXPECT_EQ(CloseAndWait(window, pid, 30s), 0) << Slurp(log);
}

// On a desktop the recorder minimises itself at the start; the compressor question must still be seen. A stop
// or cancel key there closes it and records nothing (no empty file either), and the window comes back.
TEST_F(TolmCapture, TheQuestionOfAMinimisedStartShowsAndAKeyThereEndsTheStart) {
    ASSERT_TRUE(StartWindowManager());
    const std::string log = folder_.Path("log.txt");
    const std::string window = StartAndShow(log);
    ChooseRegionSetByUser(window);
    for (const char* key : {"Escape", "shift+Escape"}) {
        Click(window, kRecordButton);
        ASSERT_FALSE(FindWindow("Notice", 10s).empty()) << key << "\n" << Slurp(log);
        Keys(key);
        EXPECT_TRUE(WaitForNoWindow("Notice", 10s)) << key;
        EXPECT_FALSE(FindWindow(kMainTitle, 10s).empty()) << key;  // restored
        ASSERT_TRUE(WaitForCount(log, kReadyLine, key[0] == 'E' ? 1 : 2, 10s)) << Slurp(log);
    }
    EXPECT_FALSE(fs::exists(DefaultOutput()));
    EXPECT_EQ(CountText(log, "Saving Success..."), 0) << Slurp(log);
}

// A refused start shows its error while the window is away, then the window comes back: the box must stay above
// it even without a window manager, where it lay hidden behind it and the click meant for it hit the window.
TEST_F(TolmCapture, TheErrorOfARefusedStartStaysAboveTheWindowThatComesBack) {
    const std::string log = folder_.Path("log.txt");
    const std::string window = StartAndShow(log);
    TypeInto(window, kOutputEdit, folder_.Path(""));  // a folder: refused before recording
    Click(window, kRecordButton);
    ASSERT_TRUE(WaitForCount(log, kReadyLine, 1, 10s)) << Slurp(log);
    const std::string box = FindWindow("Error", 10s);
    ASSERT_FALSE(box.empty()) << Slurp(log);
    // Its OK button sits in the bottom right corner, whatever the length of the text.
    const std::string size = Run("xdotool getwindowgeometry --shell " + box);
    int width = 0;
    int height = 0;
    ASSERT_EQ(std::sscanf(size.substr(size.find("WIDTH=")).c_str(), "WIDTH=%d\nHEIGHT=%d", &width, &height), 2) << size;
    Click(box, Spot{width - 50, height - 24});
    EXPECT_TRUE(WaitForNoWindow("Error", 10s)) << Slurp(log);
}

// While idle the recorder takes no key from the desktop: Escape closes its own options dialog.
TEST_F(TolmCapture, EscapeReachesTheOptionsDialogWhileIdle) {
    const std::string log = folder_.Path("log.txt");
    const std::string window = StartAndShow(log);
    Click(window, kOptionsButton);
    ASSERT_FALSE(FindWindow("Audio/Video Options", 10s).empty()) << Slurp(log);
    Keys("Escape");
    EXPECT_TRUE(WaitForNoWindow("Audio/Video Options", 10s));
}

// A typed size the default compressor cannot take as it is (it needs multiples of 4) is fitted to it.
TEST_F(TolmCapture, AnOddAreaIsRecordedWithTheDefaultCompressorAtAFittedSize) {
    const std::string log = folder_.Path("log.txt");
    const std::string window = StartAndShow(log);
    ChooseRegionSetByUser(window);
    TypeInto(window, kWidthEdit, "301");
    TypeInto(window, kHeightEdit, "202");
    StartRecordingFromTheWindow(window, log);
    std::this_thread::sleep_for(2s);
    Click(window, kStopButton);
    ASSERT_TRUE(WaitForText(log, "Saving Success...", 60s)) << Slurp(log);
    const auto video = ProbeStream(DefaultOutput(), 0);
    EXPECT_EQ(video.at("width"), "304");
    EXPECT_EQ(video.at("height"), "204");
}

// The title bar's close during a recording stops and saves it, as Exit does; the window goes on the next close.
TEST_F(TolmCapture, ClosingTheWindowWhileRecordingSavesTheRecording) {
    const std::string log = folder_.Path("log.txt");
    const pid_t pid = Start(log);
    const std::string window = FindWindow(kMainTitle);
    ASSERT_FALSE(window.empty()) << Slurp(log);
    ChooseRegionSetByUser(window);
    StartRecordingFromTheWindow(window, log);
    std::this_thread::sleep_for(3s);
    AskToClose(window);
    ASSERT_TRUE(WaitForText(log, "Saving Success...", 60s)) << Slurp(log);
    ASSERT_TRUE(fs::exists(DefaultOutput()));
    EXPECT_GE(Duration(DefaultOutput()), 2.5);
    EXPECT_EQ(Wait(pid, 0s), -1);  // still there for the save
    EXPECT_EQ(CloseAndWait(window, pid, 30s), 0) << Slurp(log);
}

}  // namespace
}  // namespace tolm::testing

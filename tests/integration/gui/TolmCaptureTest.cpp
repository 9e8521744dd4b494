// The window program as a user drives it; ffprobe reads what it saved.
#include <signal.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "integration/driver/PrivateServers.h"
#include "integration/driver/ScopedMonitors.h"
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

    // The pixels (0xRRGGBB) of a rectangle of the screen as it shows now.
    static std::vector<std::uint32_t> ScreenPixels(const Rect& r) {
        const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> c(xcb_connect(nullptr, nullptr),
                                                                             &xcb_disconnect);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c.get())).data->root;
        const xcb_get_image_cookie_t cookie =
            xcb_get_image(c.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, root, static_cast<std::int16_t>(r.left),
                          static_cast<std::int16_t>(r.top), static_cast<std::uint16_t>(r.width),
                          static_cast<std::uint16_t>(r.height), ~0u);
        const std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> image(
            xcb_get_image_reply(c.get(), cookie, nullptr), &std::free);
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(r.width) * r.height);
        if (!image || xcb_get_image_data_length(image.get()) < static_cast<int>(pixels.size() * 4)) return {};
        const auto* data = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image.get()));
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = data[i] & 0xFFFFFF;
        return pixels;
    }
    // The window's place with room for the frame a window manager puts round it.
    static Rect FramedPlace(const std::string& window) {
        const std::string g = Run("xdotool getwindowgeometry --shell " + window);
        int x = 0, y = 0, width = 0, height = 0;
        std::sscanf(g.substr(g.find("X=")).c_str(), "X=%d\nY=%d\nWIDTH=%d\nHEIGHT=%d", &x, &y, &width, &height);
        return Rect{x - 10, y - 40, width + 20, height + 50};
    }
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
    // The status keeps saying where the recording went.
    ASSERT_TRUE(WaitForText(log, "tolm-capture: Saving Success... " + DefaultOutput(), 60s)) << Slurp(log);

    ASSERT_TRUE(fs::exists(DefaultOutput())) << Slurp(log);
    const auto video = ProbeStream(DefaultOutput(), 0);
    EXPECT_EQ(video.at("codec_type"), "video");
    EXPECT_EQ(video.at("width"), "300");
    EXPECT_GE(std::stod(video.at("duration")), 2.5);
    ::kill(pid, SIGTERM);
}

// Asked on a terminal, they answer there and end; no window shows.
TEST_F(TolmCapture, HelpAndVersionPrintAndEnd) {
    const std::string program = std::string(TOLM_BIN_DIR) + "/tolm-capture";
    const std::string help = Run("timeout 10 " + program + " --help; echo status $?");
    EXPECT_EQ(help.rfind("Usage: tolm-capture", 0), 0u) << help;
    EXPECT_NE(help.find("--version"), std::string::npos) << help;
    EXPECT_NE(help.find("status 0\n"), std::string::npos) << help;
    const std::string version = Run("timeout 10 " + program + " --version; echo status $?");
    EXPECT_EQ(version.rfind("tolm-capture ", 0), 0u) << version;
    EXPECT_NE(version.find("License GPL-3.0-or-later"), std::string::npos) << version;
    EXPECT_NE(version.find("status 0\n"), std::string::npos) << version;
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

// The free-hand picker's still picture is taken once the window manager has minimised the window: the frame of
// its minimise animation showed in it as a bar with the window's title.
TEST_F(TolmCapture, TheFreeHandPickersStillPictureShowsNoGhostOfTheWindow) {
    ASSERT_TRUE(StartWindowManager(true));
    const std::string log = folder_.Path("log.txt");
    const std::string window = StartAndShow(log);
    const Rect place = FramedPlace(window);
    ChooseRegion(window, 1);
    Click(window, kRecordButton);
    ASSERT_TRUE(WaitForNoWindow(kMainTitle, 10s)) << Slurp(log);
    // The picker's hint by the pointer shows once it is up and has painted its picture.
    const std::uint32_t background = ScreenPixels(Rect{0, 0, 1, 1}).at(0);
    ASSERT_TRUE(PollUntil(
        [&] {
            Run("xdotool mousemove 5 5 mousemove 8 8");
            return ScreenPixels(Rect{40, 40, 1, 1}).at(0) != background;
        },
        10s));
    const std::vector<std::uint32_t> pixels = ScreenPixels(place);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), background), std::ssize(pixels));
    Keys("Escape");
    EXPECT_FALSE(FindWindow(kMainTitle, 10s).empty());  // the cancelled start brings the window back
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

// The title bar's close during a recording stops and saves it, as Exit does, and then the program ends.
TEST_F(TolmCapture, ClosingTheWindowWhileRecordingSavesTheRecordingAndEnds) {
    const std::string log = folder_.Path("log.txt");
    const pid_t pid = Start(log);
    const std::string window = FindWindow(kMainTitle);
    ASSERT_FALSE(window.empty()) << Slurp(log);
    ChooseRegionSetByUser(window);
    StartRecordingFromTheWindow(window, log);
    std::this_thread::sleep_for(3s);
    AskToClose(window);
    EXPECT_EQ(Wait(pid, 60s), 0) << Slurp(log);
    EXPECT_NE(CountText(log, "Saving Success..."), 0) << Slurp(log);
    ASSERT_TRUE(fs::exists(DefaultOutput()));
    EXPECT_GE(Duration(DefaultOutput()), 2.5);
}

// With two monitors the window records the one chosen in it: the full screen is the second monitor's.
TEST_F(TolmCapture, TheMonitorChosenInTheWindowIsRecordedWhole) {
    const ScopedMonitors monitors({Rect{0, 0, 1280, 1080}, Rect{1280, 0, 640, 1080}});
    ASSERT_TRUE(monitors.Made());
    const std::string log = folder_.Path("log.txt");
    const std::string window = StartAndShow(log);
    ChooseMonitor(window, 2);
    ChooseRegion(window, 4);
    StartRecordingFromTheWindow(window, log);
    std::this_thread::sleep_for(2s);
    Click(window, kStopButton);
    ASSERT_TRUE(WaitForText(log, "Saving Success...", 60s)) << Slurp(log);
    const auto video = ProbeStream(DefaultOutput(), 0);
    EXPECT_EQ(video.at("width"), "640");
    EXPECT_EQ(video.at("height"), "1080");
}

}  // namespace
}  // namespace tolm::testing

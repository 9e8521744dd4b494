#pragma once

// Drives the real tolm-capture on the display in $DISPLAY as a user would: xdotool presses its buttons at their
// fixed places and types keys; the program reports its state lines on standard error, which the tests read.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "integration/driver/ProgramRuns.h"
#include "integration/driver/WindowDriver.h"
#include "integration/ffmpeg/FfmpegTestSupport.h"

namespace tolm::testing {

// Places in the main window's client area (the window has a fixed layout).
inline constexpr Spot kRegionList{200, 83};
inline constexpr Spot kMonitorList{542, 83};
inline constexpr Spot kRecordButton{46, 226};
inline constexpr Spot kStopButton{170, 226};
inline constexpr Spot kOptionsButton{408, 226};
inline constexpr Spot kCancelButton{430, 608};
inline constexpr Spot kExitButton{550, 608};
inline constexpr Spot kOutputEdit{250, 174};
inline constexpr Spot kWidthEdit{381, 118};
inline constexpr Spot kHeightEdit{521, 118};

inline constexpr const char* kMainTitle = "TOLM Screen Capture";
// Lines the window writes to its log: the state line shows recording; a recording's worker has ended.
inline constexpr const char* kRecordingLine = "tolm-capture: Recording...";
inline constexpr const char* kReadyLine = "tolm-capture: Ready to record";

// One test's copies of tolm-capture, each with the test's own home (where the default output lands) and runtime
// folder (instance lock, temporary files); every copy still running at the end is killed.
class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts tolm-capture with its output in `log`; `env` adds variables to its environment.
    pid_t Start(const std::string& log, const std::vector<std::pair<std::string, std::string>>& env = {});
    // Starts it and waits for its main window; the window's id, or "" (with the log in the failure).
    std::string StartAndShow(const std::string& log);
    // The exit status once the program has ended, or -1 when it still runs after the timeout.
    int Wait(pid_t pid, std::chrono::seconds timeout);
    void Kill(pid_t pid);
    // Asks the window to close, as its title bar's button does, until the program has ended; its exit status, or
    // -1 when it still runs after the timeout.
    int CloseAndWait(const std::string& window, pid_t pid, std::chrono::seconds timeout);

    std::string TempVideo() const { return runtime_ + "/tolm-screen-capture/tmpVideoStream.avi"; }
    std::string DefaultOutput() const { return home_ + "/Capture.avi"; }

    // Shell under the name the tests use: gtest's own Test::Run would hide a free Run.
    static std::string Run(const std::string& command) { return Shell(command); }
    // Runs a window manager on the display until the test ends; false when none could be started. Without the
    // animation of a minimise unless asked for.
    bool StartWindowManager(bool animateIconify = false);

    // Chooses the region list's item `index` (0-based of five); 3 is "Region stable - set values by user", 4 the
    // full screen.
    static void ChooseRegion(const std::string& window, int index);
    static void ChooseRegionSetByUser(const std::string& window) { ChooseRegion(window, 3); }
    // Chooses monitor `number` (1-based) in the monitor list.
    static void ChooseMonitor(const std::string& window, int number);
    // Opens the list at `spot` and chooses its item `index` (0-based).
    static void ChooseItem(const std::string& window, Spot spot, int index);
    // Types a whole new text into the edit at `spot`.
    static void TypeInto(const std::string& window, Spot spot, const std::string& text);
    // With no compressor chosen the recorder asks whether to take the default one: yes.
    static void AcceptDefaultCompressor();

    TempFolder folder_;
    std::string home_;
    std::string runtime_;
    std::vector<pid_t> started_;
    pid_t windowManager_ = 0;
};

}  // namespace tolm::testing

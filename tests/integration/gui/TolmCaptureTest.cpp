// The window program as a user drives it: on the display in $DISPLAY, with xdotool pressing its buttons at their
// fixed places; it reports its state lines on standard error, and ffprobe reads what it saved.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "integration/Requirements.h"
#include "integration/ffmpeg/FfmpegTestSupport.h"

namespace tolm {
namespace {

using namespace std::chrono_literals;

const std::string kBin = TOLM_BIN_DIR;

// Client coordinates of the controls the tests press (the window has a fixed layout).
struct Spot {
    int x, y;
};
constexpr Spot kRegionList{200, 83};
constexpr Spot kRecordButton{46, 226};
constexpr Spot kStopButton{170, 226};

class TolmCapture : public ::testing::Test {
protected:
    void SetUp() override {
        TOLM_SKIP_WITHOUT_DISPLAY();
        // A home of its own: the default output lands there, and the instance lock and temporary files live in
        // a runtime folder no other copy uses.
        home_ = folder_.Path("home");
        runtime_ = folder_.Path("run");
        std::filesystem::create_directories(home_);
        std::filesystem::create_directories(runtime_);
        ::chmod(runtime_.c_str(), 0700);
    }
    void TearDown() override {
        for (pid_t pid : started_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    pid_t Start(const std::string& log) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("HOME", home_.c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (home_ + "/.config").c_str(), 1);
            std::freopen(log.c_str(), "w", stdout);
            std::freopen(log.c_str(), "a", stderr);
            const std::string program = kBin + "/tolm-capture";
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        started_.push_back(pid);
        return pid;
    }
    // The exit status once the program has ended, or -1 when it is still running after the timeout.
    int Wait(pid_t pid, std::chrono::seconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return -1;
            std::this_thread::sleep_for(50ms);
        }
        std::erase(started_, pid);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }

    static std::string Run(const std::string& command) {
        int status = 0;
        return testing::RunCommand(command, status);
    }
    // The id of the visible window with exactly this title, or "" after the timeout.
    static std::string FindWindow(const std::string& title, std::chrono::seconds timeout = 30s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            std::istringstream ids(Run("xdotool search --onlyvisible --name " + testing::Quote("^" + title + "$") +
                                       " 2>/dev/null"));
            std::string id;
            if (ids >> id) return id;
            std::this_thread::sleep_for(100ms);
        }
        return "";
    }
    // Clicks at a point of the window's client area.
    static void Click(const std::string& window, Spot spot) {
        Run("xdotool mousemove --window " + window + " " + std::to_string(spot.x) + " " + std::to_string(spot.y) +
            " click 1");
    }
    static void Keys(const std::string& keys) { Run("xdotool key --delay 50 " + keys); }

    static std::string Slurp(const std::string& path) { return Run("cat " + testing::Quote(path)); }
    static bool WaitForText(const std::string& log, const std::string& text, std::chrono::seconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Slurp(log).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    // Chooses "Region stable - set values by user", the fourth of the region list's five items.
    static void ChooseRegionSetByUser(const std::string& window) {
        Click(window, kRegionList);
        std::this_thread::sleep_for(300ms);
        Keys("Home Down Down Down Return");
    }
    // With no compressor chosen the recorder asks whether to take the default one: yes.
    static void AcceptDefaultCompressor() {
        if (!FindWindow("Notice", 10s).empty()) Keys("Return");
    }

    testing::TempFolder folder_;
    std::string home_;
    std::string runtime_;
    std::vector<pid_t> started_;
};

TEST_F(TolmCapture, RecordButtonThenStopButtonSavesThreeSecondsAndASecondCopyIsRefused) {
    const std::string log = folder_.Path("log.txt");
    const pid_t pid = Start(log);
    const std::string window = FindWindow("TOLM Screen Capture");
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

    Click(window, kRecordButton);
    AcceptDefaultCompressor();
    ASSERT_TRUE(WaitForText(log, "Recording...", 30s)) << Slurp(log);
    std::this_thread::sleep_for(3s);
    Click(window, kStopButton);
    ASSERT_TRUE(WaitForText(log, "No Status", 60s)) << Slurp(log);

    const std::string output = home_ + "/Capture.avi";
    ASSERT_TRUE(std::filesystem::exists(output)) << Slurp(log);
    const auto video = testing::ProbeStream(output, 0);
    EXPECT_EQ(video.at("codec_type"), "video");
    EXPECT_EQ(video.at("width"), "300");
    EXPECT_GE(std::stod(video.at("duration")), 2.5);
    ::kill(pid, SIGTERM);
}

TEST_F(TolmCapture, EscapeDuringARecordingLeavesNoFile) {
    const std::string log = folder_.Path("log.txt");
    const pid_t pid = Start(log);
    const std::string window = FindWindow("TOLM Screen Capture");
    ASSERT_FALSE(window.empty()) << Slurp(log);
    ChooseRegionSetByUser(window);
    Click(window, kRecordButton);
    AcceptDefaultCompressor();
    ASSERT_TRUE(WaitForText(log, "Recording...", 30s)) << Slurp(log);
    std::this_thread::sleep_for(1s);
    Keys("Escape");
    ASSERT_TRUE(WaitForText(log, "Preview Off...", 30s)) << Slurp(log);
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(std::filesystem::exists(home_ + "/Capture.avi"));
    ::kill(pid, SIGTERM);
}

}  // namespace
}  // namespace tolm

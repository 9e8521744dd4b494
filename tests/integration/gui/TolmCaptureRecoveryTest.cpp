// The window program killed while it records, then started again: it asks about the interrupted recording and
// saves it beside the output file without replacing anything (yes), or deletes it (no). Driven with xdotool on the
// display in $DISPLAY; ffprobe reads what was saved.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "integration/Requirements.h"
#include "integration/ffmpeg/FfmpegTestSupport.h"

namespace tolm {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kBin = TOLM_BIN_DIR;

struct Spot {
    int x, y;
};
constexpr Spot kRegionList{200, 83};
constexpr Spot kRecordButton{46, 226};

class TolmCaptureRecovery : public ::testing::Test {
protected:
    void SetUp() override {
        TOLM_SKIP_WITHOUT_DISPLAY();
        home_ = folder_.Path("home");
        runtime_ = folder_.Path("run");
        fs::create_directories(home_);
        fs::create_directories(runtime_);
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
    void Kill(pid_t pid) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        std::erase(started_, pid);
    }

    static std::string Run(const std::string& command) {
        int status = 0;
        return testing::RunCommand(command, status);
    }
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

    // Records into the default output for `seconds`, then kills the program as a crash or a power cut would.
    void RecordAndKill(std::chrono::seconds seconds) {
        const std::string log = folder_.Path("first.txt");
        const pid_t pid = Start(log);
        const std::string window = FindWindow("TOLM Screen Capture");
        ASSERT_FALSE(window.empty()) << Slurp(log);
        Click(window, kRegionList);  // "Region stable - set values by user": the area stays put
        std::this_thread::sleep_for(300ms);
        Keys("Home Down Down Down Return");
        Click(window, kRecordButton);
        if (!FindWindow("Notice", 10s).empty()) Keys("Return");  // yes, the default compressor
        ASSERT_TRUE(WaitForText(log, "Recording...", 30s)) << Slurp(log);
        std::this_thread::sleep_for(seconds);
        Kill(pid);
        ASSERT_TRUE(fs::exists(TempVideo())) << Slurp(log);
    }
    std::string TempVideo() const { return runtime_ + "/tolm-screen-capture/tmpVideoStream.avi"; }

    testing::TempFolder folder_;
    std::string home_;
    std::string runtime_;
    std::vector<pid_t> started_;
};

TEST_F(TolmCaptureRecovery, YesSavesTheKilledRecordingBesideTheOutputWithoutReplacingIt) {
    RecordAndKill(4s);
    const std::string output = home_ + "/Capture.avi";
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
    const auto video = testing::ProbeStream(recovered, 0);
    EXPECT_EQ(video.at("codec_type"), "video");
    EXPECT_EQ(video.at("width"), "300");
    // All but the last moment: the file on disk is brought up to date every second while recording.
    EXPECT_GE(std::stod(video.at("duration")), 2.0);
    int status = 0;
    const std::string decode = "ffmpeg -nostdin -v error -i " + testing::Quote(recovered) + " -f null - 2>&1";
    EXPECT_EQ(testing::RunCommand(decode, status), "");
    EXPECT_FALSE(fs::exists(TempVideo()));
    ::kill(pid, SIGTERM);
}

TEST_F(TolmCaptureRecovery, NoDeletesTheKilledRecordingAndTheNextStartAsksNothing) {
    RecordAndKill(2s);
    const std::string log = folder_.Path("second.txt");
    const pid_t pid = Start(log);
    ASSERT_FALSE(FindWindow("Notice").empty()) << Slurp(log);
    Keys("alt+n");  // the question's "No" (Escape belongs to the recorder's global keys)
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (fs::exists(TempVideo()) && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(fs::exists(TempVideo()));
    EXPECT_FALSE(fs::exists(home_ + "/Capture.avi"));
    Kill(pid);

    const std::string again = folder_.Path("third.txt");
    Start(again);
    ASSERT_FALSE(FindWindow("TOLM Screen Capture").empty()) << Slurp(again);
    EXPECT_TRUE(FindWindow("Notice", 3s).empty());
}

}  // namespace
}  // namespace tolm

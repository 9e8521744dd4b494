#pragma once

// tolm-record run as a user runs it, beside a moving scene on the display in $DISPLAY.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "integration/Requirements.h"
#include "integration/ffmpeg/FfmpegTestSupport.h"

namespace tolm::testing {

// How often `part` occurs in `text` (overlapping occurrences count).
inline int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

using namespace std::chrono_literals;

inline const std::string kBin = TOLM_BIN_DIR;

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

    // `inChild` runs in the child before the program starts (limits, signal dispositions).
    static pid_t Spawn(std::vector<std::string> args, const std::string& log = "/dev/null",
                       const std::function<void()>& inChild = {}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (inChild) inChild();
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

// Runs the recorders with their own XDG_RUNTIME_DIR and XDG_CACHE_HOME, so their temporary folder is the test's.
class OwnRuntime : public TolmRecord {
protected:
    void SetUp() override {
        TolmRecord::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        runtime_ = folder.Path("run");
        ASSERT_EQ(::mkdir(runtime_.c_str(), 0700), 0);
        for (const char* name : kNames) {
            const char* saved = std::getenv(name);
            saved_.push_back(saved ? std::optional<std::string>(saved) : std::nullopt);
            ::setenv(name, runtime_.c_str(), 1);
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < saved_.size(); ++i) {
            if (saved_[i])
                ::setenv(kNames[i], saved_[i]->c_str(), 1);
            else
                ::unsetenv(kNames[i]);
        }
        TolmRecord::TearDown();
    }
    std::string LeftoverFolder() const { return runtime_ + "/tolm-screen-capture"; }

    static constexpr const char* kNames[] = {"XDG_RUNTIME_DIR", "XDG_CACHE_HOME"};
    std::string runtime_;
    std::vector<std::optional<std::string>> saved_;
};

}  // namespace tolm::testing

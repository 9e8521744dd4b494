#pragma once

// tolm-record run as a user runs it, beside a moving scene on the display in $DISPLAY.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "integration/Requirements.h"
#include "integration/driver/PrivateServers.h"
#include "integration/driver/ProgramRuns.h"
#include "integration/driver/WindowDriver.h"
#include "integration/ffmpeg/FfmpegTestSupport.h"

namespace tolm::testing {

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

    // The exit status; a recorder still running after the timeout is killed and counts as a failure.
    static int Wait(pid_t pid, std::chrono::seconds timeout = 60s) {
        const int status = WaitForExit(pid, timeout);
        if (status != -1) return status;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ADD_FAILURE() << "the recorder did not end in time";
        return 128;
    }
    // Waits until the recorder says it records (its keys are grabbed by then).
    static bool WaitForRecording(const std::string& log) { return WaitForText(log, "Recording ", 30s); }

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
        runtimeEnv_.emplace("XDG_RUNTIME_DIR", runtime_);
        cacheEnv_.emplace("XDG_CACHE_HOME", runtime_);
    }
    void TearDown() override {
        cacheEnv_.reset();
        runtimeEnv_.reset();
        TolmRecord::TearDown();
    }
    std::string LeftoverFolder() const { return runtime_ + "/tolm-screen-capture"; }

    std::string runtime_;
    std::optional<ScopedEnv> runtimeEnv_;
    std::optional<ScopedEnv> cacheEnv_;
};

}  // namespace tolm::testing

#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureGlobals.h"
#include "capture/ScreenCamera.h"
#include "platform/EventLoop.h"
#include "platform/fake/FakeAviLibrary.h"
#include "platform/fake/FakeCompressors.h"
#include "platform/fake/FakeHost.h"
#include "platform/fake/FakeScreen.h"
#include "platform/fake/FakeWaveIn.h"
#include "platform/fake/ManualClock.h"
#include "support/EngineTestAccess.h"

namespace tolm {

// An engine on a scripted screen; events are recorded in order.
class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetCaptureGlobals();
        // The engine's private temporary folder goes below the test's own temporary folder.
        folder = ::testing::TempDir() + "tolm-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        setenv("XDG_CACHE_HOME", folder.c_str(), 1);
        // Every position is grabbed, as on a busy screen; the tests of a still one say so.
        screen.SetAlwaysChanging(true);
        camera = std::make_unique<TScreenCamera>(Services());
        camera->OnError = [this](TScreenCamera&, const std::string& text) { events.push_back("error:" + text); };
        camera->OnStop = [this](TScreenCamera&) { events.push_back("stop"); };
    }

    virtual EngineServices Services() {
        EngineServices services{screen, clock, host, compressors, avi, loop};
        services.waveIn = &waveIn;
        return services;
    }

    // Grabs a frame as the capture loop does and returns it as a bitmap in the engine's colour format.
    Bitmap Grab(const Rect& area) {
        Bitmap target;
        camera->CaptureFrame(TCaptureMode::cmBitmap, &target, area.left, area.top, area.width, area.height,
                             camera->UseFilters().Contains(TUseFilter::UseReverseColor));
        return target;
    }

    // Runs `fn` on the main thread and holds the calling worker until it has: a key pressed between two
    // grabs, which the worker's next pass sees.
    void BetweenGrabs(const std::function<void()>& fn) {
        std::promise<void> ran;
        std::future<void> done = ran.get_future();
        loop.Post([&] {
            fn();
            ran.set_value();
        });
        done.wait();
    }

    void TearDown() override {
        camera.reset();
        std::filesystem::remove_all(folder);
    }

    std::string folder;
    EventLoop loop;
    FakeScreen screen;
    ManualClock clock;
    FakeHost host;
    FakeCompressorManager compressors;
    FakeAviLibrary avi;
    FakeWaveInService waveIn;
    std::unique_ptr<TScreenCamera> camera;
    std::vector<std::string> events;
};

}  // namespace tolm

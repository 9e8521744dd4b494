#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "capture/ScreenCamera.h"
#include "platform/EventLoop.h"
#include "platform/fake/FakeWaveIn.h"
#include "support/EngineTestAccess.h"
#include "unit/FakeServices.h"

namespace tolm {

// An engine on a scripted screen; events are recorded in order.
class CameraTest : public ::testing::Test, protected FakeServices<EventLoop> {
  protected:
    void SetUp() override {
        folder = FreshEngineFolder("tolm-");
        // Every position is grabbed, as on a busy screen; the tests of a still one say so.
        screen.SetAlwaysChanging(true);
        camera = std::make_unique<TScreenCamera>(Services());
        camera->OnError = [this](TScreenCamera&, const std::string& text) { events.push_back("error:" + text); };
        camera->OnStop = [this](TScreenCamera&) { events.push_back("stop"); };
    }

    virtual EngineServices Services() {
        EngineServices services = FakeServices::Services();
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
    EventLoop& loop = mainThread;  // the name these tests know the main thread by
    FakeWaveInService waveIn;
    std::unique_ptr<TScreenCamera> camera;
    std::vector<std::string> events;
};

}  // namespace tolm

#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureGlobals.h"
#include "capture/ScreenCamera.h"
#include "integration/ffmpeg/FfmpegTestSupport.h"
#include "platform/EventLoop.h"
#include "platform/fake/FakeHost.h"
#include "platform/fake/FakeScreen.h"
#include "platform/fake/FakeWaveIn.h"
#include "platform/fake/ManualClock.h"
#include "platform/ffmpeg/FfmpegVideo.h"

namespace tolm {

// The engine on a scripted screen and sound input, recording through the real FFmpeg compressors and AVI
// library, without the cursor. Its temporary files go into the test's folder, its error messages into `errors`.
class FfmpegEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string missing = testing::MissingTools();
        if (!missing.empty()) GTEST_FAIL() << missing;
        ResetCaptureGlobals();
        setenv("XDG_RUNTIME_DIR", folder.Dir().c_str(), 1);
        setenv("XDG_CACHE_HOME", folder.Dir().c_str(), 1);
        compressors = CreateFfmpegCompressorManager();
        avi = CreateFfmpegAviLibrary(*compressors);
        EngineServices services{screen, clock, host, *compressors, *avi, loop};
        services.waveIn = &waveIn;
        camera = std::make_unique<TScreenCamera>(services);
        camera->SetRecordCursor(false);
        camera->OnError = [this](TScreenCamera&, const std::string& text) { errors.push_back(text); };
    }
    void TearDown() override { camera.reset(); }

    testing::TempFolder folder;
    EventLoop loop;
    FakeScreen screen;
    ManualClock clock;
    FakeHost host;
    std::unique_ptr<CompressorManager> compressors;
    std::unique_ptr<AviLibrary> avi;
    FakeWaveInService waveIn;
    std::unique_ptr<TScreenCamera> camera;
    std::vector<std::string> errors;
};

}  // namespace tolm

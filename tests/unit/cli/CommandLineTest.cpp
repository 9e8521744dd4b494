#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include "platform/EventLoop.h"
#include "platform/fake/FakeAviLibrary.h"
#include "platform/fake/FakeCompressors.h"
#include "platform/fake/FakeHost.h"
#include "platform/fake/FakeScreen.h"
#include "platform/fake/ManualClock.h"

namespace tolm::cli {
namespace {

bool Parse(std::vector<std::string> args, Options& options, std::string& error) {
    return ParseCommandLine(args, options, error);
}

TEST(CommandLine, RejectsBadArgumentsWithAMessage) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--snapshot"},
        {"--snapshot", "a.bmp", "--area", "0,0,10"},
        {"--snapshot", "a.bmp", "--area", "0,0,10,0"},
        {"--snapshot", "a.bmp", "--area", "0,0,10,10,"},
        {"--snapshot", "a.bmp", "--colors", "12"},
        {"--snapshot", "a.bmp", "--effect", "blur"},
        {"--snapshot", "a.bmp", "--effect", "brightness"},
        {"--snapshot", "a.bmp", "--effect", "sepia=3"},
        {"--snapshot", "a.bmp", "--effect", "posterize=0"},
        {"--snapshot", "a.bmp", "--effect", "color-adjust=1,2"},
        {"--snapshot", "a.bmp", "--effect", "color-noise=10", "--effect", "mono-noise=10"},
        {"--snapshot", "a.bmp", "--rotate", "up"},
        {"--snapshot", "a.bmp", "--area", "0,0,5,5", "--full-screen"},
        {"--snapshot", "a.bmp", "--monitor", "0"},
        {"--snapshot", "a.bmp", "--frobnicate"},
    };
    for (const auto& args : bad) {
        Options options;
        std::string error;
        EXPECT_FALSE(Parse(args, options, error)) << ::testing::PrintToString(args);
        EXPECT_FALSE(error.empty()) << ::testing::PrintToString(args);
    }
}

TEST(CommandLine, AppliesAreaDepthAndEffectsToTheEngine) {
    Options options;
    std::string error;
    ASSERT_TRUE(Parse({"--snapshot", "a.bmp", "--area", "-5,7,64,48", "--colors", "16", "--no-cursor", "--effect",
                       "brightness=-40", "--effect", "color-adjust=1,-2,3", "--effect", "invert", "--rotate", "vertical"},
                      options, error))
        << error;

    FakeScreen screen;
    ManualClock clock;
    FakeHost host;
    FakeCompressorManager compressors;
    FakeAviLibrary avi;
    EventLoop loop;
    TScreenCamera camera({screen, clock, host, compressors, avi, loop});
    ApplyToCamera(options, camera);
    EXPECT_EQ(camera.ScreenArea().Bounds(), (Rect{-5, 7, 64, 48}));
    EXPECT_EQ(camera.ScreenArea().ScreenRegion(), TScreenRegion::FixedStable);
    EXPECT_EQ(camera.Colors(), TPixelFormat::pf16bit);
    EXPECT_FALSE(camera.RecordCursor());
    EXPECT_EQ(camera.FilterValues().ValueBrightness(), -40);
    EXPECT_EQ(camera.FilterValues().ValueRedColor(), 1);
    EXPECT_EQ(camera.FilterValues().ValueGreenColor(), -2);
    EXPECT_EQ(camera.FilterValues().ValueBlueColor(), 3);
    EXPECT_EQ(camera.FilterValues().TypeScreenRotate(), TScreenRotate::RVertical);
    EXPECT_EQ(camera.UseFilters(), (TUseFilters{TUseFilter::UseBrightness, TUseFilter::UseColorAdjust,
                                                TUseFilter::UseReverseColor, TUseFilter::UseRotateImage}));
}

TEST(CommandLine, FullScreenTakesTheChosenMonitor) {
    Options options;
    std::string error;
    ASSERT_TRUE(Parse({"--snapshot", "a.bmp", "--full-screen", "--monitor", "2"}, options, error)) << error;
    FakeScreen screen;
    screen.SetMonitors({Rect{0, 0, 1920, 1080}, Rect{1920, 0, 1280, 1024}});
    ManualClock clock;
    FakeHost host;
    FakeCompressorManager compressors;
    FakeAviLibrary avi;
    EventLoop loop;
    TScreenCamera camera({screen, clock, host, compressors, avi, loop});
    ApplyToCamera(options, camera);
    EXPECT_EQ(camera.ScreenArea().Bounds(), (Rect{1920, 0, 1280, 1024}));
}

}  // namespace
}  // namespace tolm::cli

#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include "capture/ProgramNotice.h"
#include "platform/EventLoop.h"
#include "unit/FakeServices.h"

namespace tolm::cli {
namespace {

// An engine on the fakes, for checking what the command line puts into it.
struct FakeEngine : FakeServices<EventLoop> {
    explicit FakeEngine(std::vector<Rect> monitors = {Rect{0, 0, 1920, 1080}}) {
        screen.SetMonitors(std::move(monitors));
    }
    TScreenCamera camera{Services()};
};

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
        {"--snapshot", "a.bmp", "out.avi"},
        {"out.avi", "--fps", "0"},
        {"out.avi", "--mspf", "1001"},
        {"out.avi", "--duration", "x"},
        {"out.avi", "--codec", "MJPEG"},
        {"out.avi", "--codec", "none", "--after"},
        {"out.avi", "--follow-mouse", "640"},
        {"out.avi", "--follow-mouse", "640x480", "--area", "0,0,1,1"},
        {"out.avi", "second.avi"},
        {"out.avi", "--backend", "wayland"},
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
    ASSERT_TRUE(
        Parse({"--snapshot", "a.bmp", "--area", "-5,7,64,48", "--colors", "16", "--no-cursor", "--effect",
               "brightness=-40", "--effect", "color-adjust=1,-2,3", "--effect", "invert", "--rotate", "vertical"},
              options, error))
        << error;

    FakeEngine engine;
    TScreenCamera& camera = engine.camera;
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

TEST(CommandLine, RecordingOptionsReachTheEngine) {
    Options options;
    std::string error;
    ASSERT_TRUE(Parse({"--follow-mouse", "640x480", "--fps", "25", "--mspf", "40", "--duration", "3725", "--codec",
                       "H264", "--after", "--quality", "5000", "--keyframes", "50", "--no-frame", "clip.avi"},
                      options, error))
        << error;
    EXPECT_EQ(options.outputFile, "clip.avi");
    FakeEngine engine;
    TScreenCamera& camera = engine.camera;
    ApplyToCamera(options, camera);
    EXPECT_EQ(camera.ScreenArea().ScreenRegion(), TScreenRegion::FixedMoving);
    EXPECT_EQ(camera.ScreenArea().ScreenWidth(), 640);
    EXPECT_EQ(camera.PlayBack_FPS(), 25);
    EXPECT_EQ(camera.Record_MSPF(), 40);
    const TRecordingDuration d = camera.RecordingDuration();
    EXPECT_TRUE(d.Enabled);
    EXPECT_EQ(d.Hours, 1);
    EXPECT_EQ(d.Minutes, 2);
    EXPECT_EQ(d.Seconds, 5);
    EXPECT_EQ(camera.RecordType(), TTypeRecord::CompressAfterRecord);
    EXPECT_EQ(camera.CompressionQuality(), 5000);
    EXPECT_EQ(camera.KeyFramesEvery(), 50);
    EXPECT_FALSE(camera.DrawAreaCapture());
    EXPECT_FALSE(camera.MinimizeAppOnStart());
}

TEST(CommandLine, ATimeLapseWithSoundIsNoticedBeforeRecording) {
    const auto notice = [](std::vector<std::string> args) {
        Options options;
        std::string error;
        args.push_back("clip.avi");
        EXPECT_TRUE(Parse(args, options, error)) << error;
        FakeEngine engine;
        ApplyToCamera(options, engine.camera);
        return SoundSpeedNotice(engine.camera);
    };
    EXPECT_EQ(notice({"--fps", "24", "--audio"}),
              "A frame is taken every 20 ms and played at 24 frames a second, 0.48 times as fast as it happened; the "
              "sound keeps its own speed and cannot follow the picture. Give --mspf 41 to record in real time at 24 "
              "fps.");
    EXPECT_EQ(notice({"--fps", "24", "--mspf", "41", "--audio"}), "");
    EXPECT_EQ(notice({"--fps", "24"}), "");  // nothing to follow
}

TEST(CommandLine, FullScreenTakesTheChosenMonitor) {
    Options options;
    std::string error;
    ASSERT_TRUE(Parse({"--snapshot", "a.bmp", "--full-screen", "--monitor", "2"}, options, error)) << error;
    FakeEngine engine({Rect{0, 0, 1920, 1080}, Rect{1920, 0, 1280, 1024}});
    TScreenCamera& camera = engine.camera;
    ApplyToCamera(options, camera);
    EXPECT_EQ(camera.ScreenArea().Bounds(), (Rect{1920, 0, 1280, 1024}));
}

TEST(CommandLine, VersionAloneIsAnAnswerThatNamesTheLicence) {
    Options options;
    std::string error;
    ASSERT_TRUE(Parse({"--version"}, options, error)) << error;
    EXPECT_TRUE(options.version);
    EXPECT_NE(VersionText("tolm-record").find("tolm-record 0."), std::string::npos);
    EXPECT_NE(VersionText("tolm-record").find("License GPL-3.0-or-later"), std::string::npos);
}

}  // namespace
}  // namespace tolm::cli

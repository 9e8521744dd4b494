#include "CameraFixture.h"

namespace tolm {
namespace {

using Settings = CameraTest;

TEST_F(Settings, FreshEngineHasTheDocumentedDefaults) {
    EXPECT_EQ(camera->RecordType(), TTypeRecord::CompressOnFly);
    EXPECT_EQ(camera->CurrentMonitor(), 1);
    EXPECT_EQ(camera->UpdateRate(), 250);
    EXPECT_EQ(camera->PlayBack_FPS(), 50);
    EXPECT_EQ(camera->Record_MSPF(), 20);
    EXPECT_EQ(camera->KeyFramesEvery(), 300);
    EXPECT_EQ(camera->CompressionQuality(), 10000);
    EXPECT_EQ(camera->Colors(), TPixelFormat::pf32bit);
    EXPECT_EQ(camera->RegionColor1(), clRed);
    EXPECT_EQ(camera->RegionColor2(), clLime);
    EXPECT_EQ(camera->SelectedCompressor(), -1);
    EXPECT_TRUE(camera->RecordCursor());
    EXPECT_TRUE(camera->MinimizeAppOnStart());
    EXPECT_EQ(camera->VideoPriority(), TThreadPriority::tpNormal);
    EXPECT_EQ(camera->VideoCodecName(), "MS Video Codec");
    EXPECT_FALSE(camera->Recording());
    EXPECT_FALSE(camera->Paused());
    EXPECT_FALSE(camera->Preview());
    EXPECT_EQ(camera->ScreenArea().ScreenRegion(), TScreenRegion::FixedMoving);
    EXPECT_EQ(camera->ScreenArea().Bounds(), (Rect{0, 0, 300, 300}));
    EXPECT_TRUE(camera->UseFilters().Empty());
    EXPECT_EQ(camera->FilterValues().ValuePosterize(), 1);
    EXPECT_EQ(camera->FilterValues().ValueSaturation(), 255);
    EXPECT_EQ(camera->FilterValues().TypeScreenRotate(), TScreenRotate::RLeft);
    EXPECT_EQ(Globals().ActiveCamera.load(), camera.get());
    EXPECT_EQ(camera->DesktopWidth(), 1920);
}

TEST_F(Settings, RangedSettersIgnoreValuesOutsideTheirRange) {
    camera->SetPlayBack_FPS(0);
    camera->SetPlayBack_FPS(1001);
    EXPECT_EQ(camera->PlayBack_FPS(), 50);
    camera->SetPlayBack_FPS(1000);
    EXPECT_EQ(camera->PlayBack_FPS(), 1000);

    camera->SetUpdateRate(501);
    EXPECT_EQ(camera->UpdateRate(), 250);
    camera->SetUpdateRate(500);
    EXPECT_EQ(camera->UpdateRate(), 500);

    camera->SetRecord_MSPF(0);
    camera->SetRecord_MSPF(1001);
    EXPECT_EQ(camera->Record_MSPF(), 20);

    camera->SetCompressionQuality(0);
    camera->SetCompressionQuality(10001);
    EXPECT_EQ(camera->CompressionQuality(), 10000);
    camera->SetCompressionQuality(1);
    EXPECT_EQ(camera->CompressionQuality(), 1);

    camera->SetKeyFramesEvery(-5);  // unchecked
    EXPECT_EQ(camera->KeyFramesEvery(), -5);
}

TEST_F(Settings, CurrentMonitorMustNameAnExistingMonitor) {
    camera->SetCurrentMonitor(2);
    EXPECT_EQ(camera->CurrentMonitor(), 1);
    camera->SetCurrentMonitor(0);
    EXPECT_EQ(camera->CurrentMonitor(), 1);
    screen.SetMonitors({Rect{0, 0, 1920, 1080}, Rect{1920, 0, 1280, 1024}});
    camera->SetCurrentMonitor(2);
    EXPECT_EQ(camera->CurrentMonitor(), 2);
}

TEST_F(Settings, ColorsAreNormalisedWithTheirBitCount) {
    const struct {
        TPixelFormat written, read;
        int bits;
    } cases[] = {
        {TPixelFormat::pf8bit, TPixelFormat::pf8bit, 8},     {TPixelFormat::pf15bit, TPixelFormat::pf16bit, 16},
        {TPixelFormat::pf16bit, TPixelFormat::pf16bit, 16},  {TPixelFormat::pf24bit, TPixelFormat::pf24bit, 24},
        {TPixelFormat::pfDevice, TPixelFormat::pf32bit, 32}, {TPixelFormat::pf1bit, TPixelFormat::pf32bit, 32},
        {TPixelFormat::pf4bit, TPixelFormat::pf32bit, 32},   {TPixelFormat::pfCustom, TPixelFormat::pf32bit, 32},
    };
    for (const auto& c : cases) {
        camera->SetColors(c.written);
        EXPECT_EQ(camera->Colors(), c.read) << static_cast<int>(c.written);
        EXPECT_EQ(camera->BitCount(), c.bits) << static_cast<int>(c.written);
    }
}

TEST_F(Settings, AddedNoiseKindReplacesTheOtherOne) {
    camera->SetUseFilters({TUseFilter::UseColorNoise, TUseFilter::UseSepia});
    camera->SetUseFilters({TUseFilter::UseColorNoise, TUseFilter::UseSepia, TUseFilter::UseMonoNoise});
    EXPECT_EQ(camera->UseFilters(), (TUseFilters{TUseFilter::UseMonoNoise, TUseFilter::UseSepia}));

    camera->SetUseFilters({TUseFilter::UseMonoNoise, TUseFilter::UseColorNoise});
    EXPECT_EQ(camera->UseFilters(), (TUseFilters{TUseFilter::UseColorNoise}));

    camera->SetUseFilters({});
    EXPECT_TRUE(camera->UseFilters().Empty());
}

TEST_F(Settings, FullScreenAreaOfTheSecondMonitor) {
    screen.SetMonitors({Rect{0, 0, 1920, 1080}, Rect{1920, 0, 1280, 1024}});
    camera->ScreenArea().SetScreenRegion(TScreenRegion::FixedStable);
    camera->SetCurrentMonitor(2);
    camera->SetFullScreenArea();
    EXPECT_EQ(camera->ScreenArea().Bounds(), (Rect{1920, 0, 1280, 1024}));
    EXPECT_EQ(camera->ScreenArea().ScreenRegion(), TScreenRegion::FixedStable);
    EXPECT_EQ(camera->GetMonitorOrigin(), (Point{1920, 0}));
    EXPECT_EQ(camera->GetMonitorSize(), (Point{1280, 1024}));
}

TEST_F(Settings, FullScreenAreaOfAllMonitorsReachesLeftOfThePrimary) {
    screen.SetMonitors({Rect{0, 0, 1920, 1080}, Rect{-1280, 56, 1280, 1024}});
    camera->SetRecordAllMonitors(true);
    camera->SetFullScreenArea();
    EXPECT_EQ(camera->ScreenArea().Bounds(), (Rect{-1280, 0, 3200, 1080}));
}

TEST_F(Settings, UnpluggedMonitorFallsBackToThePrimary) {
    screen.SetMonitors({Rect{0, 0, 1920, 1080}, Rect{1920, 0, 1280, 1024}});
    camera->SetCurrentMonitor(2);
    screen.SetMonitors({Rect{0, 0, 1920, 1080}});
    camera->SetFullScreenArea();
    EXPECT_EQ(camera->ScreenArea().Bounds(), (Rect{0, 0, 1920, 1080}));
}

TEST_F(Settings, DestroyedEngineIsNoLongerActive) {
    camera.reset();
    EXPECT_EQ(Globals().ActiveCamera.load(), nullptr);
}

}  // namespace
}  // namespace tolm

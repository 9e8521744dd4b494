#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <chrono>
#include <mutex>
#include <set>

#include "app/FilterEffectsDialog.h"
#include "unit/capture/CameraFixture.h"

namespace tolm {
namespace {

using namespace std::chrono_literals;

class FilterEffectsDialog : public CameraTest {
  protected:
    void SetUp() override {
        CameraTest::SetUp();
        dialog = std::make_unique<TfrmFilterEffects>(*camera);
    }
    void TearDown() override {
        dialog.reset();
        CameraTest::TearDown();
    }

    template <typename T>
    T* Find(const char* name) {
        T* control = dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QCheckBox* Check(const char* name) { return Find<QCheckBox>(name); }
    QSlider* Slider(const char* name) { return Find<QSlider>(name); }
    QString Label(const char* name) { return Find<QLabel>(name)->text(); }
    void Show() {
        dialog->show();
        dialog->hide();
    }

    std::unique_ptr<TfrmFilterEffects> dialog;
};

TEST_F(FilterEffectsDialog, NoiseKindsExcludeEachOtherAndLeaveOtherEffects) {
    Check("UseBrightnessEffect")->setChecked(true);
    Check("UseColorNoiseEffect")->setChecked(true);
    EXPECT_EQ(camera->UseFilters(), (TUseFilters{TUseFilter::UseBrightness, TUseFilter::UseColorNoise}));
    Check("UseMonoNoiseEffect")->setChecked(true);
    EXPECT_FALSE(Check("UseColorNoiseEffect")->isChecked());
    EXPECT_EQ(camera->UseFilters(), (TUseFilters{TUseFilter::UseBrightness, TUseFilter::UseMonoNoise}));
    Check("UseColorNoiseEffect")->setChecked(true);
    EXPECT_FALSE(Check("UseMonoNoiseEffect")->isChecked());
    EXPECT_EQ(camera->UseFilters(), (TUseFilters{TUseFilter::UseBrightness, TUseFilter::UseColorNoise}));
    Check("UseColorNoiseEffect")->setChecked(false);
    Check("UseBrightnessEffect")->setChecked(false);
    EXPECT_TRUE(camera->UseFilters().Empty());
}

TEST_F(FilterEffectsDialog, GreyAndSepiaExcludeEachOther) {
    Check("CheckGrayScale")->setChecked(true);
    Check("CheckSepia")->setChecked(true);
    EXPECT_FALSE(Check("CheckGrayScale")->isChecked());
    EXPECT_EQ(camera->UseFilters(), (TUseFilters{TUseFilter::UseSepia}));
    Check("CheckGrayScale")->setChecked(true);
    EXPECT_FALSE(Check("CheckSepia")->isChecked());
    EXPECT_EQ(camera->UseFilters(), (TUseFilters{TUseFilter::UseGrayScale}));
}

TEST_F(FilterEffectsDialog, EachCheckBoxWritesItsOwnElement) {
    const std::pair<const char*, TUseFilter> boxes[] = {
        {"UseBrightnessEffect", TUseFilter::UseBrightness}, {"UseContrastEffect", TUseFilter::UseContrast},
        {"UseDarknessEffect", TUseFilter::UseDarkness},     {"UseSaturationEffect", TUseFilter::UseSaturation},
        {"UsePosterizeEffect", TUseFilter::UsePosterize},   {"UseColorAdjustEffect", TUseFilter::UseColorAdjust},
        {"UseScreenRotation", TUseFilter::UseRotateImage},  {"CheckReverseColor", TUseFilter::UseReverseColor},
    };
    for (const auto& [name, filter] : boxes) {
        Check(name)->setChecked(true);
        EXPECT_EQ(camera->UseFilters(), TUseFilters{filter}) << name;
        Check(name)->setChecked(false);
        EXPECT_TRUE(camera->UseFilters().Empty()) << name;
    }
}

TEST_F(FilterEffectsDialog, SlidersWriteTheirValuesAndLabels) {
    Slider("NoiseTrackBar")->setValue(40);
    EXPECT_EQ(camera->FilterValues().ValueColorNoise(), 40);
    EXPECT_EQ(camera->FilterValues().ValueMonoNoise(), 40);
    EXPECT_EQ(Label("NoiseLabel"), "40");
    // Index 7 is darkness and 8 brightness, the reverse of their storage order.
    Slider("DarknessTrackBar")->setValue(12);
    Slider("BrightnessTrackBar")->setValue(-2550);
    Slider("ContrastTrackBar")->setValue(2550);
    Slider("GreenValueTrackBar")->setValue(-7);
    EXPECT_EQ(camera->FilterValues().ValueDarkness(), 12);
    EXPECT_EQ(camera->FilterValues().ValueBrightness(), -2550);
    EXPECT_EQ(camera->FilterValues().ValueContrast(), 2550);
    EXPECT_EQ(camera->FilterValues().ValueGreenColor(), -7);
    EXPECT_EQ(camera->FilterValues().ValueRedColor(), 0);
    EXPECT_EQ(Label("BrightnessLabel"), "-2550");

    Find<QRadioButton>("ScreenRotationItem3")->click();
    EXPECT_EQ(camera->FilterValues().TypeScreenRotate(), TScreenRotate::RHorizontal);
}

TEST_F(FilterEffectsDialog, ShowLoadsTheEngineWithoutWritingBack) {
    TFilterValues& values = camera->FilterValues();
    values.SetIndexedValue(7, 30);     // darkness
    values.SetIndexedValue(9, 100);    // contrast
    values.SetIndexedValue(8, -3000);  // brightness, beyond the slider's reach
    values.SetIndexedValue(0, 10);     // colour noise differs from mono noise
    values.SetIndexedValue(1, 20);
    values.SetIndexedValue(3, 5);  // red
    values.SetTypeScreenRotate(TScreenRotate::RVertical);
    // Grey and sepia together can come from a stored configuration; showing them must not drop one.
    const TUseFilters set{TUseFilter::UseGrayScale, TUseFilter::UseSepia, TUseFilter::UseMonoNoise,
                          TUseFilter::UseColorAdjust};
    camera->SetUseFilters(set);

    Show();

    EXPECT_EQ(Slider("DarknessTrackBar")->value(), 30);
    EXPECT_EQ(Label("DarknessLabel"), "30");
    EXPECT_EQ(Slider("ContrastTrackBar")->value(), 100);
    EXPECT_EQ(Label("ContrastLabel"), "100");
    EXPECT_EQ(Slider("BrightnessTrackBar")->value(), -2550);
    EXPECT_EQ(Label("BrightnessLabel"), "-3000");
    EXPECT_EQ(Slider("NoiseTrackBar")->value(), 20);  // the mono value, as mono noise is on
    EXPECT_EQ(Slider("RedValueTrackBar")->value(), 5);
    EXPECT_TRUE(Find<QRadioButton>("ScreenRotationItem4")->isChecked());
    EXPECT_TRUE(Check("CheckGrayScale")->isChecked());
    EXPECT_TRUE(Check("CheckSepia")->isChecked());
    EXPECT_TRUE(Check("UseColorAdjustEffect")->isChecked());

    EXPECT_EQ(camera->UseFilters(), set);
    EXPECT_EQ(values.ValueDarkness(), 30);
    EXPECT_EQ(values.ValueContrast(), 100);
    EXPECT_EQ(values.ValueBrightness(), -3000);
    EXPECT_EQ(values.ValueColorNoise(), 10);
    EXPECT_EQ(values.ValueMonoNoise(), 20);
    EXPECT_EQ(values.ValueRedColor(), 5);

    // After the load the controls write again.
    Slider("DarknessTrackBar")->setValue(31);
    EXPECT_EQ(values.ValueDarkness(), 31);
}

TEST_F(FilterEffectsDialog, StartsAtTheEngineDefaults) {
    EXPECT_EQ(Slider("SaturationTrackBar")->value(), 255);
    EXPECT_EQ(Label("SaturationLabel"), "255");
    EXPECT_EQ(Slider("PosterizeTrackBar")->value(), 1);
    EXPECT_EQ(Label("PosterizeLabel"), "1");
    for (const char* name : {"RedValueTrackBar", "GreenValueTrackBar", "BlueValueTrackBar"}) {
        EXPECT_EQ(Slider(name)->value(), 0) << name;  // matches the "0" labels and the engine
    }
    EXPECT_TRUE(Find<QRadioButton>("ScreenRotationItem0")->isChecked());

    // Creating the dialog leaves an engine with other values alone.
    camera->FilterValues().SetIndexedValue(6, 600);
    camera->FilterValues().SetIndexedValue(2, 8);
    TfrmFilterEffects second(*camera);
    EXPECT_EQ(camera->FilterValues().ValueSaturation(), 600);
    EXPECT_EQ(camera->FilterValues().ValuePosterize(), 8);
}

TEST_F(FilterEffectsDialog, DefaultValuesDuringARecordingTurnEverythingOffAtOnce) {
    camera->SetRecordType(TTypeRecord::NoCompress);
    camera->ScreenArea().SetScreenRegion(TScreenRegion::FixedStable);
    camera->ScreenArea().SetBounds(Rect{0, 0, 32, 16});
    camera->SetRecordCursor(false);
    clock.Set(1000);

    for (const char* name :
         {"UseBrightnessEffect", "UseContrastEffect", "UseDarknessEffect", "UseSaturationEffect", "UseMonoNoiseEffect",
          "UsePosterizeEffect", "UseColorAdjustEffect", "UseScreenRotation", "CheckSepia", "CheckReverseColor"}) {
        Check(name)->setChecked(true);
    }
    Slider("BrightnessTrackBar")->setValue(-100);
    Slider("SaturationTrackBar")->setValue(600);
    Slider("NoiseTrackBar")->setValue(40);
    Slider("PosterizeTrackBar")->setValue(64);
    Slider("BlueValueTrackBar")->setValue(90);
    Find<QRadioButton>("ScreenRotationItem2")->click();
    const TUseFilters all = camera->UseFilters();

    std::mutex seenMutex;
    std::set<std::uint16_t> seen;  // the effect sets the grabs ran with
    screen.SetGrabHook([&](int) {
        {
            std::lock_guard lock(seenMutex);
            seen.insert(camera->UseFilters().Bits());
        }
        clock.Advance(20);
    });
    ASSERT_TRUE(camera->StartRecording(folder + "/out.avi"));
    ASSERT_TRUE(loop.RunUntil([this] { return camera->Recording() && screen.GrabCount() >= 3; }, 20s));

    Find<QPushButton>("DefaultValueBtn")->click();
    const int clickedAt = screen.GrabCount();
    EXPECT_TRUE(camera->UseFilters().Empty());
    ASSERT_TRUE(loop.RunUntil([&] { return screen.GrabCount() >= clickedAt + 2; }, 20s));
    camera->StopRecording();
    ASSERT_TRUE(loop.RunUntil([this] { return !camera->WorkerRunning(); }, 20s));

    EXPECT_TRUE(camera->UseFilters().Empty());
    {
        std::lock_guard lock(seenMutex);
        EXPECT_EQ(seen, (std::set<std::uint16_t>{0, all.Bits()}));
    }
    const TFilterValues& values = camera->FilterValues();
    EXPECT_EQ(values.ValueSaturation(), 255);
    EXPECT_EQ(values.ValuePosterize(), 1);
    EXPECT_EQ(values.ValueBrightness(), 0);
    EXPECT_EQ(values.ValueColorNoise(), 0);
    EXPECT_EQ(values.ValueMonoNoise(), 0);
    EXPECT_EQ(values.ValueBlueColor(), 0);
    EXPECT_EQ(values.TypeScreenRotate(), TScreenRotate::RLeft);
    EXPECT_EQ(Slider("SaturationTrackBar")->value(), 255);
    EXPECT_EQ(Label("NoiseLabel"), "0");
    EXPECT_TRUE(Find<QRadioButton>("ScreenRotationItem0")->isChecked());
    for (const char* name : {"UseMonoNoiseEffect", "CheckSepia", "UseColorAdjustEffect", "CheckReverseColor"}) {
        EXPECT_FALSE(Check(name)->isChecked()) << name;
    }
}

}  // namespace
}  // namespace tolm

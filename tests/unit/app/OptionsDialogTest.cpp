#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>

#include "app/OptionsDialog.h"
#include "platform/fake/FakeMixer.h"
#include "unit/capture/CameraFixture.h"

namespace tolm {
namespace {

using C = FakeMixerControl;

// The dialog over an engine whose machine has two codecs and a sound card whose recording destination selects
// one of three inputs; the CD line has no volume control.
class OptionsDialog : public CameraTest {
  protected:
    void SetUp() override {
        CameraTest::SetUp();
        FakeCodec about = FakeCompressorManager::Codec("ABOU");
        FakeCodec configure = FakeCompressorManager::Codec("CONF");
        configure.hasAbout = false;
        configure.hasConfigure = true;
        compressors.Add(about);
        compressors.Add(configure);
        card = mixer.AddDevice(
            FakeMixerLayout{"Card",
                            {{{"Recording Control", {C::Volume(100, 80), C::Mux({"CD", "Mic", "Line"}, {0})}},
                              {{"Line", {C::Volume(100, 60)}}, {"Mic", {C::Volume(100, 25)}}, {"CD", {}}}}}});
        camera.reset();
        EngineServices services = Services();
        services.mixers = &mixer;
        camera = std::make_unique<TScreenCamera>(services);
        dialog = std::make_unique<TfrmOption>(*camera);
    }
    void TearDown() override {
        dialog.reset();
        CameraTest::TearDown();
    }

    template <typename T>
    T* Get(const char* name) {
        T* child = dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QString Text(const char* label) { return Get<QLabel>(label)->text(); }
    void Ok() { Get<QPushButton>("Button2")->click(); }
    std::uint32_t MicVolume() const {
        return mixer.Values(card, mixer.ControlId(card, 0, 1, MIXERCONTROL_CONTROLTYPE_VOLUME)).at(0);
    }

    FakeMixer mixer;
    unsigned card = 0;
    std::unique_ptr<TfrmOption> dialog;
};

// The longest description of ours shows whole in the compressor box.
TEST_F(OptionsDialog, TheCompressorBoxShowsALongDescriptionWhole) {
    FakeCodec codec = FakeCompressorManager::Codec("ZMBV");
    codec.info.szDescription = "Zip Motion Blocks Video (lossless, for screen content)";
    compressors.Add(codec);
    dialog->show();
    auto* box = Get<QComboBox>("VideoCompressor");
    box->setCurrentIndex(box->findText(QString::fromStdString(codec.info.szDescription)));
    ASSERT_GE(box->currentIndex(), 0);
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.currentText = box->currentText();
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
    EXPECT_GE(field.width(), box->fontMetrics().horizontalAdvance(box->currentText()));
}

TEST_F(OptionsDialog, AutoModeTiesTheRecordIntervalToThePlaybackRate) {
    camera->SetPlayBack_FPS(50);
    dialog->show();
    EXPECT_EQ(dialog->windowTitle(), "Audio/Video Options");
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_GE(dialog->width(), 439);
    EXPECT_GE(dialog->height(), 433);
    EXPECT_FALSE(Get<QSlider>("TrackBarRecord")->isEnabled());
    EXPECT_EQ(Text("labelmspFrecord"), "20 Millisecond");
    EXPECT_EQ(Text("labelFPSPlayback"), "50 fps");
    Ok();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(camera->Record_MSPF(), 20);
    EXPECT_EQ(camera->PlayBack_FPS(), 50);
}

TEST_F(OptionsDialog, AutoModeClampsThePlaybackRateToSixtyAndManualModeKeepsTheRecordBar) {
    dialog->show();
    auto* autoMode = Get<QCheckBox>("AutoMode");
    auto* playback = Get<QSlider>("TrackBarPlayback");
    autoMode->setChecked(false);
    EXPECT_EQ(Text("Label7"), "1000 fps");
    playback->setValue(1000);
    EXPECT_EQ(Text("labelFPSPlayback"), "1000 fps");

    autoMode->setChecked(true);
    EXPECT_EQ(playback->value(), 60);
    EXPECT_EQ(Text("Label7"), "60 fps");
    EXPECT_EQ(Text("labelmspFrecord"), "16 Millisecond");
    EXPECT_EQ(Text("labelFPSPlayback"), "60 fps");

    autoMode->setChecked(false);
    EXPECT_EQ(Text("Label7"), "1000 fps");
    EXPECT_TRUE(Get<QSlider>("TrackBarRecord")->isEnabled());
    playback->setValue(500);
    EXPECT_EQ(Text("labelmspFrecord"), "16 Millisecond");  // no longer tied to the playback rate
    Ok();
    EXPECT_EQ(camera->Record_MSPF(), 16);
    EXPECT_EQ(camera->PlayBack_FPS(), 500);
}

TEST_F(OptionsDialog, QualityIsCommittedInThousandsAndZeroKeepsTheLowest) {
    dialog->show();
    auto* quality = Get<QSlider>("VideoQuality");
    EXPECT_EQ(quality->value(), 10);
    quality->setValue(7);
    EXPECT_EQ(Text("LabelQuality"), "7");
    Ok();
    EXPECT_EQ(camera->CompressionQuality(), 7000);
    quality->setValue(3);  // a change left behind by a closed dialog is not what the next showing shows
    dialog->show();
    EXPECT_EQ(quality->value(), 7);

    quality->setValue(0);
    Ok();
    EXPECT_EQ(camera->CompressionQuality(), 1);
    dialog->show();
    EXPECT_EQ(quality->value(), 0);
}

TEST_F(OptionsDialog, AnInputWithoutVolumeDisablesTheBarAndOnlyTheBarWritesVolumes) {
    camera->SetUseAudioRecord(true);  // the main window's toggle set it
    dialog->show();
    auto* input = Get<QComboBox>("AudioInput");
    auto* volume = Get<QSlider>("AudioVolume");
    EXPECT_TRUE(Get<QCheckBox>("AudioRecord")->isChecked());
    EXPECT_TRUE(Get<QComboBox>("AudioFormat")->isEnabled());
    EXPECT_EQ(input->currentText(), "CD");
    EXPECT_EQ(volume->value(), 0);
    EXPECT_FALSE(volume->isEnabled());
    EXPECT_FALSE(Get<QLabel>("LabelVolume")->isEnabled());

    input->setCurrentIndex(1);
    emit input->activated(1);
    EXPECT_EQ(camera->AudioInputIndex(), 1);
    EXPECT_TRUE(volume->isEnabled());
    EXPECT_EQ(volume->value(), 25);

    volume->setValue(40);
    EXPECT_EQ(Text("LabelVolume"), "40");
    EXPECT_EQ(MicVolume(), 40u);
    const int writes = mixer.SetCalls();
    Get<QSlider>("VideoQuality")->setValue(2);
    Get<QCheckBox>("AutoMode")->setChecked(false);
    EXPECT_EQ(mixer.SetCalls(), writes);

    // The destination cannot be recorded from: the list goes back to the source that is.
    input->setCurrentIndex(3);
    emit input->activated(3);
    EXPECT_EQ(input->currentText(), "Mic");

    Get<QCheckBox>("AudioRecord")->setChecked(false);
    EXPECT_FALSE(volume->isEnabled());
    EXPECT_FALSE(input->isEnabled());
    Get<QPushButton>("Button3")->click();  // the live changes stay, the rest is not written
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(camera->UseAudioRecord());
    EXPECT_EQ(camera->CompressionQuality(), 10000);
    EXPECT_EQ(MicVolume(), 40u);
}

TEST_F(OptionsDialog, AKeyFrameCountThatIsNoNumberKeepsTheDialogOpenAndWritesNothing) {
    dialog->show();
    EXPECT_EQ(Get<QLineEdit>("EditKeyFrames")->text(), "300");
    Get<QLineEdit>("EditKeyFrames")->setText("12x");
    Get<QCheckBox>("AutoMode")->setChecked(false);
    Get<QSlider>("TrackBarRecord")->setValue(100);
    QString shown;
    QTimer::singleShot(0, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    Ok();
    EXPECT_EQ(shown, "'12x' is not a valid integer value");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(camera->KeyFramesEvery(), 300);
    EXPECT_EQ(camera->Record_MSPF(), 20);

    Get<QLineEdit>("EditKeyFrames")->setText("25");
    Ok();
    EXPECT_EQ(camera->KeyFramesEvery(), 25);
    EXPECT_EQ(camera->Record_MSPF(), 100);
}

TEST_F(OptionsDialog, CompressorButtonsFollowTheChosenCompressor) {
    dialog->show();
    auto* codecs = Get<QComboBox>("VideoCompressor");
    EXPECT_EQ(codecs->count(), 2);
    EXPECT_EQ(codecs->currentIndex(), -1);  // the engine's -1 selects nothing
    EXPECT_FALSE(Get<QPushButton>("AboutB")->isEnabled());
    EXPECT_FALSE(Get<QPushButton>("ConfigB")->isEnabled());

    codecs->setCurrentIndex(1);
    emit codecs->activated(1);
    EXPECT_FALSE(Get<QPushButton>("AboutB")->isEnabled());
    EXPECT_TRUE(Get<QPushButton>("ConfigB")->isEnabled());
    codecs->setCurrentIndex(0);
    emit codecs->activated(0);
    EXPECT_TRUE(Get<QPushButton>("AboutB")->isEnabled());
    Get<QPushButton>("AboutB")->click();
    EXPECT_EQ(compressors.AboutShown(), 1);
    Ok();
    EXPECT_EQ(camera->SelectedCompressor(), 0);
}

TEST_F(OptionsDialog, CentredOverItsOwnerOnceThenWhereItWasLeft) {
    QWidget owner;
    owner.setGeometry(100, 100, 800, 600);
    owner.show();
    TfrmOption options(*camera, &owner);
    options.show();
    // The window frame is unknown before the first showing: centred up to its border.
    EXPECT_LE((options.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(), 8);
    options.move(20, 30);
    options.reject();
    options.show();
    EXPECT_EQ(options.pos(), QPoint(20, 30));
}

}  // namespace
}  // namespace tolm

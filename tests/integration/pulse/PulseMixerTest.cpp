#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "PulseTestSupport.h"
#include "integration/Requirements.h"
#include "platform/pulse/PulseAudio.h"

namespace tolm::testing {
namespace {

struct MixerMessage {
    std::uint32_t message = 0;
    std::uint32_t id = 0;
};

class PulseMixerTest : public PulseServerTest {
  protected:
    void SetUp() override {
        PulseServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(sound_.mixers->DeviceCount(), 1u);
        ASSERT_EQ(sound_.mixers->Open(
                      0,
                      [this](std::uint32_t m, std::uint32_t id) {
                          inbox_.Push({m, id});
                      },
                      mixer_),
                  MMSYSERR_NOERROR);
        ASSERT_EQ(mixer_->GetLineInfoByDestination(0, destination_), MMSYSERR_NOERROR);
    }

    void TearDown() override {
        mixer_.reset();
        PulseServerTest::TearDown();
    }

    // The source line whose name is `description`, by walking the destination's connections.
    MixerLineInfo SourceLine(const std::string& description) {
        for (std::uint32_t i = 0; i < destination_.cConnections; ++i) {
            MixerLineInfo line;
            EXPECT_EQ(mixer_->GetLineInfoBySource(0, i, line), MMSYSERR_NOERROR);
            if (line.name == description) return line;
        }
        ADD_FAILURE() << "no line " << description;
        return {};
    }

    MixerControlInfo Control(std::uint32_t lineId, std::uint32_t type) {
        MixerControlInfo control;
        EXPECT_EQ(mixer_->GetControlByType(lineId, type, control), MMSYSERR_NOERROR);
        return control;
    }

    MixerControlInfo Mux() { return Control(destination_.dwLineID, MIXERCONTROL_CONTROLTYPE_MUX); }

    // The MUX values that select the line named `description`.
    std::vector<std::uint32_t> Selecting(const std::string& description) {
        std::vector<MixerListText> items;
        EXPECT_EQ(mixer_->GetListTexts(Mux().dwControlID, items), MMSYSERR_NOERROR);
        std::vector<std::uint32_t> values(items.size(), 0);
        for (std::size_t i = 0; i < items.size(); ++i) values[i] = items[i].name == description ? 1 : 0;
        return values;
    }

    // Waits for a notification with this message and id, passing over others.
    bool AwaitNotification(std::uint32_t message, std::uint32_t id) {
        MixerMessage m;
        while (inbox_.Pop(m))
            if (m.message == message && m.id == id) return true;
        return false;
    }

    PulseSoundInput sound_ = CreatePulseSoundInput("tolm-pulse-tests");
    std::unique_ptr<MixerDevice> mixer_;
    MixerLineInfo destination_;
    Inbox<MixerMessage> inbox_;
};

TEST_F(PulseMixerTest, RecordingControlListsTheSourcesWithVolumeMuteAndSelection) {
    MixerCaps caps;
    ASSERT_EQ(sound_.mixers->GetCaps(0, caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.productName, "PulseAudio");
    EXPECT_EQ(caps.cDestinations, 1u);
    EXPECT_EQ(destination_.name, "Recording Control");
    EXPECT_EQ(destination_.cConnections, 2u);
    EXPECT_EQ(destination_.cControls, 1u);

    const MixerLineInfo sine = SourceLine(kSineDescription);
    EXPECT_EQ(sine.cChannels, 1u);
    const MixerControlInfo volume = Control(sine.dwLineID, MIXERCONTROL_CONTROLTYPE_VOLUME);
    EXPECT_EQ(volume.dwMinimum, 0u);
    EXPECT_EQ(volume.dwMaximum, 65536u);
    std::vector<std::uint32_t> values;
    ASSERT_EQ(mixer_->GetControlValues(volume.dwControlID, values), MMSYSERR_NOERROR);
    EXPECT_EQ(values, std::vector<std::uint32_t>{65536});
    const MixerControlInfo mute = Control(sine.dwLineID, MIXERCONTROL_CONTROLTYPE_MUTE);
    ASSERT_EQ(mixer_->GetControlValues(mute.dwControlID, values), MMSYSERR_NOERROR);
    EXPECT_EQ(values, std::vector<std::uint32_t>{0});
    EXPECT_NE(mute.dwControlID, volume.dwControlID);

    // The list names the lines in line order; the sine, being the default, is the selected one.
    const MixerControlInfo mux = Mux();
    EXPECT_EQ(mux.cMultipleItems, 2u);
    std::vector<MixerListText> items;
    ASSERT_EQ(mixer_->GetListTexts(mux.dwControlID, items), MMSYSERR_NOERROR);
    ASSERT_EQ(items.size(), 2u);
    for (std::uint32_t i = 0; i < 2; ++i) {
        MixerLineInfo line;
        ASSERT_EQ(mixer_->GetLineInfoBySource(0, i, line), MMSYSERR_NOERROR);
        EXPECT_EQ(items[i].name, line.name);
        EXPECT_EQ(items[i].dwParam1, line.dwLineID);
    }
    ASSERT_EQ(mixer_->GetControlValues(mux.dwControlID, values), MMSYSERR_NOERROR);
    EXPECT_EQ(values, Selecting(kSineDescription));
}

TEST_F(PulseMixerTest, WrongLinesControlsAndValueCountsAreRefused) {
    MixerLineInfo line;
    EXPECT_EQ(mixer_->GetLineInfoByDestination(1, line), MIXERR_INVALLINE);
    EXPECT_EQ(mixer_->GetLineInfoBySource(0, destination_.cConnections, line), MIXERR_INVALLINE);
    EXPECT_EQ(mixer_->GetLineInfoBySource(1, 0, line), MIXERR_INVALLINE);
    MixerControlInfo control;
    EXPECT_EQ(mixer_->GetControlByType(destination_.dwLineID, MIXERCONTROL_CONTROLTYPE_VOLUME, control),
              MIXERR_INVALCONTROL);
    const MixerLineInfo sine = SourceLine(kSineDescription);
    EXPECT_EQ(mixer_->GetControlByType(sine.dwLineID, MIXERCONTROL_CONTROLTYPE_MUX, control), MIXERR_INVALCONTROL);
    EXPECT_EQ(mixer_->GetControlByType(0x7777, MIXERCONTROL_CONTROLTYPE_VOLUME, control), MIXERR_INVALLINE);

    std::vector<std::uint32_t> values;
    EXPECT_EQ(mixer_->GetControlValues(0x7FFFFFF0, values), MIXERR_INVALCONTROL);
    const std::uint32_t volume = Control(sine.dwLineID, MIXERCONTROL_CONTROLTYPE_VOLUME).dwControlID;
    EXPECT_EQ(mixer_->SetControlValues(volume, {1, 2}), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mixer_->SetControlValues(volume, {65537}), MIXERR_INVALVALUE);
    const std::uint32_t mux = Mux().dwControlID;
    EXPECT_EQ(mixer_->SetControlValues(mux, {1}), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mixer_->SetControlValues(mux, {1, 1}), MIXERR_INVALVALUE);
    EXPECT_EQ(mixer_->SetControlValues(mux, {0, 0}), MIXERR_INVALVALUE);
    std::vector<MixerListText> items;
    EXPECT_EQ(mixer_->GetListTexts(volume, items), MIXERR_INVALCONTROL);
    EXPECT_EQ(DefaultSourceName(), kSineSource);
    EXPECT_EQ(SourceVolumePercent(kSineSource), 100);
}

TEST_F(PulseMixerTest, HalfVolumeReachesTheServer) {
    const MixerLineInfo sine = SourceLine(kSineDescription);
    const std::uint32_t volume = Control(sine.dwLineID, MIXERCONTROL_CONTROLTYPE_VOLUME).dwControlID;
    ASSERT_EQ(mixer_->SetControlValues(volume, {32768}), MMSYSERR_NOERROR);
    EXPECT_EQ(SourceVolumePercent(kSineSource), 50);
    std::vector<std::uint32_t> values;
    ASSERT_EQ(mixer_->GetControlValues(volume, values), MMSYSERR_NOERROR);
    EXPECT_EQ(values, std::vector<std::uint32_t>{32768});

    // Every channel of a stereo source gets the value.
    const MixerLineInfo monitor = SourceLine(kMonitorDescription);
    ASSERT_EQ(mixer_->SetControlValues(Control(monitor.dwLineID, MIXERCONTROL_CONTROLTYPE_VOLUME).dwControlID, {16384}),
              MMSYSERR_NOERROR);
    const std::string shown = Pactl(std::string("get-source-volume ") + kMonitorSource);
    EXPECT_NE(shown.find("front-left: 16384"), std::string::npos) << shown;
    EXPECT_NE(shown.find("front-right: 16384"), std::string::npos) << shown;

    ASSERT_EQ(mixer_->SetControlValues(volume, {65536}), MMSYSERR_NOERROR);
    EXPECT_EQ(SourceVolumePercent(kSineSource), 100);
}

TEST_F(PulseMixerTest, SelectingALineRecordsFromItAndLeavesTheDesktopsDefaultAlone) {
    const std::uint32_t mux = Mux().dwControlID;
    ASSERT_EQ(mixer_->SetControlValues(mux, Selecting(kMonitorDescription)), MMSYSERR_NOERROR);
    EXPECT_EQ(DefaultSourceName(), kSineSource);
    std::vector<std::uint32_t> values;
    ASSERT_EQ(mixer_->GetControlValues(mux, values), MMSYSERR_NOERROR);
    EXPECT_EQ(values, Selecting(kMonitorDescription));
    // The wave input's first device is the one recorded from.
    WaveInCaps caps;
    ASSERT_EQ(sound_.waveIn->GetCaps(WAVE_MAPPER, caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.productName, kMonitorDescription);
}

TEST_F(PulseMixerTest, ChangesMadeElsewhereAreNotified) {
    const MixerLineInfo monitor = SourceLine(kMonitorDescription);
    const std::uint32_t volume = Control(monitor.dwLineID, MIXERCONTROL_CONTROLTYPE_VOLUME).dwControlID;
    const std::uint32_t mute = Control(monitor.dwLineID, MIXERCONTROL_CONTROLTYPE_MUTE).dwControlID;

    Pactl(std::string("set-source-volume ") + kMonitorSource + " 80%");
    EXPECT_TRUE(AwaitNotification(MM_MIXM_CONTROL_CHANGE, volume));
    Pactl(std::string("set-source-mute ") + kMonitorSource + " 1");
    EXPECT_TRUE(AwaitNotification(MM_MIXM_CONTROL_CHANGE, mute));
    Pactl(std::string("set-default-source ") + kMonitorSource);
    EXPECT_TRUE(AwaitNotification(MM_MIXM_CONTROL_CHANGE, Mux().dwControlID));

    // A source that comes and goes changes the destination's lines.
    bool loaded = false;
    const std::string module = Pactl("load-module module-null-source source_name=tolm_test_extra", &loaded);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(AwaitNotification(MM_MIXM_LINE_CHANGE, destination_.dwLineID));
    Pactl("unload-module " + module);
    EXPECT_TRUE(AwaitNotification(MM_MIXM_LINE_CHANGE, destination_.dwLineID));
}

}  // namespace
}  // namespace tolm::testing

// TAudioMixer and its lines over the fake mixer devices.
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

#include "audio/MessageQueue.h"
#include "audio/scWaveMixer.h"
#include "platform/WaveInput.h"
#include "platform/fake/FakeMixer.h"

namespace tolm::test {
namespace {

using C = FakeMixerControl;
using T = TMixerControlType;

constexpr unsigned kPlayback = 0;
constexpr unsigned kCapture = 1;

// A playback mixer, and a capture mixer whose first destination lists its inputs in another order than its
// source lines, and whose second destination carries both kinds of input list.
class AudioMixerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MessageQueue::OfCurrentThread()->DispatchPending();  // nothing left over from other tests
        fake.AddDevice(
            {"Playback Mixer", {{{"Volume Control", {C::Volume(65535, 65535)}}, {{"Wave", {C::Volume(65535, 0)}}}}}});
        fake.AddDevice(
            {"Capture Mixer",
             {{{"Recording Control",
                {C::Volume(65535, 32768), C::Mux({"Line In", "Microphone", "CD Audio", "Ghost"}, {0})}},
               {{"CD Audio", {C::Volume(100, 50)}},
                {"Microphone", {C::Volume(65535, 655), C::Mute(false)}},
                {"Line In", {C::Mute(true)}},
                {"Aux", {C::Volume(65535, 0)}}}},
              {{"Monitor", {C::Mux({"B", "A"}, {0}), C::Mix({"A", "B"}, {0, 1})}}, {{"A", {}}, {"B", {}}}}}});
    }

    std::vector<std::uint32_t> Values(std::uint32_t destination, int source, std::uint32_t type) {
        return fake.Values(kCapture, fake.ControlId(kCapture, destination, source, type));
    }

    FakeMixer fake;
};

TEST_F(AudioMixerTest, MixerAndDestinationSelection) {
    TAudioMixer mixer(&fake);
    EXPECT_EQ(mixer.MixerCount(), 2u);
    EXPECT_EQ(mixer.OpenResult(), MMSYSERR_NOERROR);
    EXPECT_EQ(mixer.MixerName(), "Playback Mixer");
    EXPECT_EQ(mixer.DestinationName(), "Volume Control");

    // One past the last mixer is ignored without reopening.
    mixer.SetMixerID(2);
    EXPECT_EQ(mixer.MixerID(), 0u);
    EXPECT_EQ(fake.OpenCalls(), 1);

    mixer.SetMixerName("CAPTURE mixer");
    EXPECT_EQ(mixer.MixerID(), kCapture);
    EXPECT_EQ(fake.OpenCalls(), 2);
    EXPECT_EQ(fake.OpenDevices(), 1);  // the playback mixer was closed
    EXPECT_EQ(mixer.DestinationCount(), 2u);
    ASSERT_EQ(mixer.LineCount(), 4);
    EXPECT_EQ(mixer.Lines(2).Name(), "Line In");
    EXPECT_EQ(mixer.Lines(2).SourceIndex(), 2);
    EXPECT_EQ(mixer.DestinationLine().SourceIndex(), -1);

    mixer.SetMixerName("no such mixer");
    EXPECT_EQ(mixer.MixerID(), kCapture);

    mixer.SetDestinationID(1);
    EXPECT_EQ(mixer.DestinationName(), "Monitor");
    EXPECT_EQ(mixer.LineCount(), 2);
    // A destination beyond the last is taken, then the rebuild falls back to the first.
    mixer.SetDestinationID(7);
    EXPECT_EQ(mixer.DestinationID(), 0u);
    EXPECT_EQ(mixer.DestinationName(), "Recording Control");
    EXPECT_EQ(fake.OpenCalls(), 2);  // destinations do not reopen the device

    mixer.SetDestinationName("monitor");
    EXPECT_EQ(mixer.DestinationID(), 1u);

    std::vector<std::string> names{"kept"};
    EXPECT_EQ(mixer.GetMixerNames(names), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"kept", "Playback Mixer", "Capture Mixer"}));
    names.clear();
    EXPECT_EQ(mixer.GetDestinationNames(names), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"Recording Control", "Monitor"}));
}

TEST_F(AudioMixerTest, SourceListIndexErrors) {
    TAudioMixer mixer(&fake);
    mixer.SetMixerID(kCapture);
    EXPECT_NO_THROW(mixer.Lines(3));
    try {
        mixer.Lines(4);
        FAIL() << "no index error";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (4)");
    }
    EXPECT_THROW(mixer.Lines(-1), std::out_of_range);
    // Selecting a source that is not there reads the list out of range.
    EXPECT_THROW(mixer.DestinationLine().SetSelectedLine(mixer.LineCount()), std::out_of_range);
}

TEST_F(AudioMixerTest, NoServiceAndFailedDevicesGiveEmptyMixers) {
    TAudioMixer none(nullptr);
    EXPECT_EQ(none.MixerCount(), 0u);
    EXPECT_NE(none.OpenResult(), MMSYSERR_NOERROR);
    EXPECT_EQ(none.LineCount(), 0);
    EXPECT_EQ(none.DestinationName(), "");
    EXPECT_EQ(none.DestinationLine().Volume(), -1);
    EXPECT_EQ(none.DestinationLine().LastError(), MIXERR_INVALCONTROL);
    std::vector<std::string> names;
    EXPECT_EQ(none.GetMixerNames(names), 0);

    fake.Fail(FakeMixerCall::Open, MMSYSERR_ALLOCATED);
    TAudioMixer busy(&fake);
    EXPECT_EQ(busy.OpenResult(), MMSYSERR_ALLOCATED);
    EXPECT_EQ(busy.LineCount(), 0);
    EXPECT_TRUE(busy.DestinationLine().AvailableControls().Empty());
    EXPECT_EQ(busy.MixerName(), "Playback Mixer");  // the capabilities are read before the open

    fake.Fail(FakeMixerCall::Open, 0);
    fake.Fail(FakeMixerCall::LineInfo, MMSYSERR_NODRIVER);
    TAudioMixer lost(&fake);
    EXPECT_EQ(lost.OpenResult(), MMSYSERR_NOERROR);
    EXPECT_EQ(lost.DestinationLine().LastError(), MMSYSERR_NODRIVER);
    EXPECT_EQ(lost.LineCount(), 0);
    EXPECT_TRUE(lost.DestinationLine().AvailableControls().Empty());
}

TEST_F(AudioMixerTest, ControlsAreFoundByType) {
    TAudioMixer mixer(&fake);
    mixer.SetMixerID(kCapture);
    TAudioMixerLine& microphone = mixer.Lines(1);
    EXPECT_EQ(microphone.AvailableControls(), (TMixerControls{T::mcVolume, T::mcMute}));
    EXPECT_EQ(mixer.Lines(2).AvailableControls(), TMixerControls{T::mcMute});
    TMixerControlType type = T::mcMix;
    const std::uint32_t muteId = fake.ControlId(kCapture, 0, 1, MIXERCONTROL_CONTROLTYPE_MUTE);
    ASSERT_TRUE(microphone.FindControl(muteId, type));
    EXPECT_EQ(type, T::mcMute);
    EXPECT_EQ(microphone.Controls(T::mcMute).dwControlID, muteId);
    EXPECT_FALSE(mixer.Lines(0).FindControl(muteId, type));
}

TEST_F(AudioMixerTest, VolumeIsAPercentOfTheMaximum) {
    TAudioMixer mixer(&fake);
    mixer.SetMixerID(kCapture);
    EXPECT_EQ(mixer.Lines(0).Volume(), 50);
    EXPECT_EQ(mixer.Lines(1).Volume(), 1);  // 655 of 65535 rounds up to 1 %
    EXPECT_EQ(mixer.DestinationLine().Volume(), 50);
    EXPECT_EQ(mixer.DestinationLine().LastError(), MMSYSERR_NOERROR);

    TAudioMixerLine& lineIn = mixer.Lines(2);
    EXPECT_EQ(lineIn.Volume(), -1);
    EXPECT_EQ(lineIn.LastError(), MIXERR_INVALCONTROL);
    lineIn.SetVolume(50);
    EXPECT_EQ(lineIn.LastError(), MIXERR_INVALCONTROL);
    EXPECT_EQ(fake.SetCalls(), 0);

    TAudioMixerLine& microphone = mixer.Lines(1);
    microphone.SetVolume(150);
    EXPECT_EQ(Values(0, 1, MIXERCONTROL_CONTROLTYPE_VOLUME), std::vector<std::uint32_t>{65535});
    microphone.SetVolume(-5);
    EXPECT_EQ(Values(0, 1, MIXERCONTROL_CONTROLTYPE_VOLUME), std::vector<std::uint32_t>{0});
    microphone.SetVolume(33);  // 21626.55
    EXPECT_EQ(Values(0, 1, MIXERCONTROL_CONTROLTYPE_VOLUME), std::vector<std::uint32_t>{21627});
    EXPECT_EQ(microphone.LastError(), MMSYSERR_NOERROR);

    fake.Fail(FakeMixerCall::GetValues, MMSYSERR_NOMEM);
    EXPECT_EQ(microphone.Volume(), -1);
    EXPECT_EQ(microphone.LastError(), MMSYSERR_NOMEM);
    fake.Fail(FakeMixerCall::SetValues, MIXERR_INVALVALUE);
    microphone.SetVolume(10);
    EXPECT_EQ(microphone.LastError(), MIXERR_INVALVALUE);
}

TEST_F(AudioMixerTest, SelectionMatchesListItemsByName) {
    TAudioMixer mixer(&fake);
    mixer.SetMixerID(kCapture);
    TAudioMixerLine& recording = mixer.DestinationLine();
    EXPECT_EQ(recording.SelectedLine(), 2);  // item 0 is "Line In", source 2

    recording.SetSelectedLine(0);  // "CD Audio" is the list's item 2
    EXPECT_EQ(Values(0, -1, MIXERCONTROL_CONTROLTYPE_MUX), (std::vector<std::uint32_t>{0, 0, 1, 0}));
    EXPECT_EQ(recording.SelectedLine(), 0);

    // "Aux" has no item: nothing is written.
    const int writes = fake.SetCalls();
    recording.SetSelectedLine(3);
    EXPECT_EQ(recording.LastError(), MMSYSERR_INVALPARAM);
    EXPECT_EQ(fake.SetCalls(), writes);
    EXPECT_EQ(recording.SelectedLine(), 0);

    // An item no source line is named after.
    TAudioMixer other(&fake);
    other.SetMixerID(kCapture);
    std::unique_ptr<MixerDevice> device;
    ASSERT_EQ(fake.Open(kCapture, nullptr, device), MMSYSERR_NOERROR);
    ASSERT_EQ(device->SetControlValues(recording.Controls(T::mcSelect).dwControlID, {0, 0, 0, 1}), 0);
    EXPECT_EQ(other.DestinationLine().SelectedLine(), -1);
    EXPECT_EQ(other.DestinationLine().LastError(), MMSYSERR_INVALPARAM);

    // Lines without an input list.
    TAudioMixerLine& cd = mixer.Lines(0);
    EXPECT_EQ(cd.SelectedLine(), -1);
    EXPECT_EQ(cd.LastError(), MIXERR_INVALCONTROL);
    EXPECT_NO_THROW(cd.SetSelectedLine(99));
    EXPECT_EQ(cd.LastError(), MIXERR_INVALCONTROL);
}

TEST_F(AudioMixerTest, SelectionTellsInputsOfTheSameNameApart) {
    FakeMixer own;  // two identical microphones; the list gives "Line" first
    own.AddDevice(
        {"Card", {{{"Rec", {C::Mux({"Line", "Mic", "Mic"}, {2})}}, {{"Mic", {}}, {"Mic", {}}, {"Line", {}}}}}});
    TAudioMixer mixer(&own);
    TAudioMixerLine& recording = mixer.DestinationLine();
    EXPECT_EQ(recording.SelectedLine(), 1);
    recording.SetSelectedLine(0);
    EXPECT_EQ(own.Values(0, own.ControlId(0, 0, -1, MIXERCONTROL_CONTROLTYPE_MUX)),
              (std::vector<std::uint32_t>{0, 1, 0}));
    EXPECT_EQ(recording.SelectedLine(), 0);
}

TEST_F(AudioMixerTest, MultipleChoiceListIsPreferredAndLeftWithOneInput) {
    TAudioMixer mixer(&fake);
    mixer.SetMixerID(kCapture);
    mixer.SetDestinationID(1);
    TAudioMixerLine& monitor = mixer.DestinationLine();
    ASSERT_TRUE(monitor.AvailableControls().Has(T::mcSelect));
    // The single-choice list selects "B"; the multiple-choice one holds "A" first.
    EXPECT_EQ(monitor.SelectedLine(), 0);

    monitor.SetSelectedLine(1);
    EXPECT_EQ(fake.Values(kCapture, fake.ControlId(kCapture, 1, -1, MIXERCONTROL_CONTROLTYPE_MIXER)),
              (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(fake.Values(kCapture, fake.ControlId(kCapture, 1, -1, MIXERCONTROL_CONTROLTYPE_MUX)),
              (std::vector<std::uint32_t>{1, 0}));
    EXPECT_EQ(monitor.SelectedLine(), 1);
}

TEST_F(AudioMixerTest, NamesKeepAtMost63BytesOfWholeCharacters) {
    const std::string longName = std::string(62, 'x') + "\xC3\xA9" + "tail";  // é straddles byte 63
    FakeMixer own;
    own.AddDevice({"A product name well over thirty-one bytes",
                   {{{"Rec", {C::Mux({"Other", longName}, {1})}}, {{"Other", {}}, {longName, {}}}}}});
    TAudioMixer mixer(&own);
    EXPECT_EQ(mixer.MixerName(), "A product name well over thirty");
    EXPECT_EQ(mixer.Lines(1).Name(), std::string(62, 'x'));
    // Items are cut the same way, so the long name still matches.
    EXPECT_EQ(mixer.DestinationLine().SelectedLine(), 1);
    EXPECT_EQ(TruncateName("ab\xE2\x82\xAC", 4), "ab");
    EXPECT_EQ(TruncateName("ab\xE2\x82\xAC", 5), "ab\xE2\x82\xAC");
}

class MixerNotificationTest : public AudioMixerTest {
  protected:
    struct Event {
        std::string line;
        int type = -1;  // -1: a line change
        std::thread::id thread;
    };

    void Watch(TAudioMixer& mixer) {
        mixer.OnLineChange = [this](TAudioMixer&, TAudioMixerLine& line) {
            events.push_back({line.Name(), -1, std::this_thread::get_id()});
        };
        mixer.OnControlChange = [this](TAudioMixer&, TAudioMixerLine& line, TMixerControlType type) {
            events.push_back({line.Name(), static_cast<int>(type), std::this_thread::get_id()});
        };
    }

    // Notifies from a thread of the device's own, as a sound server does.
    template <typename Fire>
    void FromDeviceThread(Fire fire) {
        std::thread device(fire);
        device.join();
    }

    void Serve() { MessageQueue::OfCurrentThread()->DispatchPending(); }

    std::vector<Event> events;
};

TEST_F(MixerNotificationTest, ArriveOnTheCreatingThreadWhenItServesItsQueue) {
    TAudioMixer mixer(&fake);
    mixer.SetMixerID(kCapture);
    Watch(mixer);
    const std::uint32_t muteId = fake.ControlId(kCapture, 0, 1, MIXERCONTROL_CONTROLTYPE_MUTE);
    FromDeviceThread([&] {
        fake.FireControlChange(kCapture, muteId);
        fake.FireLineChange(kCapture, FakeMixer::LineId(0, 0));  // identifier 0 is a real line
        fake.FireLineChange(kCapture, FakeMixer::LineId(0, -1));
        fake.FireLineChange(kCapture, 0x12345);  // no such line
        fake.FireControlChange(kCapture, 999);   // no such control
    });
    EXPECT_TRUE(events.empty());
    Serve();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].line, "Microphone");
    EXPECT_EQ(events[0].type, static_cast<int>(T::mcMute));
    EXPECT_EQ(events[0].thread, std::this_thread::get_id());
    EXPECT_EQ(events[1].line, "CD Audio");
    EXPECT_EQ(events[1].type, -1);
    EXPECT_EQ(events[2].line, "Recording Control");

    // A change made through the mixer comes back as a notification too.
    events.clear();
    mixer.DestinationLine().SetVolume(20);
    Serve();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].line, "Recording Control");
    EXPECT_EQ(events[0].type, static_cast<int>(T::mcVolume));
}

TEST_F(MixerNotificationTest, NothingArrivesForAClosedDeviceOrADestroyedMixer) {
    auto mixer = std::make_unique<TAudioMixer>(&fake);
    mixer->SetMixerID(kCapture);
    Watch(*mixer);
    const std::uint32_t volumeId = fake.ControlId(kCapture, 0, -1, MIXERCONTROL_CONTROLTYPE_VOLUME);

    // Queued by the device that a reopen closed.
    FromDeviceThread([&] { fake.FireControlChange(kCapture, volumeId); });
    mixer->SetMixerID(kPlayback);
    mixer->SetMixerID(kCapture);
    Serve();
    EXPECT_TRUE(events.empty());

    FromDeviceThread([&] { fake.FireControlChange(kCapture, volumeId); });
    mixer.reset();
    EXPECT_EQ(fake.OpenDevices(), 0);
    Serve();
    EXPECT_TRUE(events.empty());

    // A line the device could not describe has an empty record, whose identifier 0 is no line of its.
    fake.Fail(FakeMixerCall::LineInfo, MMSYSERR_ERROR);
    TAudioMixer blind(&fake);
    Watch(blind);
    FromDeviceThread([&] { fake.FireLineChange(kPlayback, 0); });
    Serve();
    EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace tolm::test

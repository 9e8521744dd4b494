#include "CameraFixture.h"
#include "platform/fake/FakeMixer.h"

namespace tolm {
namespace {

using C = FakeMixerControl;

// An engine whose machine has the given mixers (and no wave input unless a test adds one).
class AudioTrack : public CameraTest {
  protected:
    void Remake() {
        camera.reset();
        EngineServices services = Services();
        services.mixers = &mixer;
        camera = std::make_unique<TScreenCamera>(services);
        camera->OnError = [this](TScreenCamera&, const std::string& text) { events.push_back("error:" + text); };
    }
    // A card whose recording destination selects one of three inputs; the CD line has no volume.
    unsigned AddCard(const std::string& destination, std::uint32_t selected) {
        return mixer.AddDevice(
            FakeMixerLayout{"Card",
                            {{{destination, {C::Volume(100, 80), C::Mux({"CD", "Mic", "Line"}, {selected})}},
                              {{"Line", {C::Volume(200, 100)}}, {"Mic", {C::Volume(100, 25)}}, {"CD", {}}}}}});
    }
    FakeMixer mixer;
};

TEST_F(AudioTrack, FreshEngineListsTheStockFormatsAndTheRecordersDefault) {
    const std::vector<std::string> formats = camera->AudioFormatList();
    ASSERT_EQ(formats.size(), 20u);
    EXPECT_EQ(formats.front(), "PCM: 8.000 kHz, 8 Bit, Mono");
    EXPECT_EQ(formats[15], "PCM: 44.100 kHz, 16 Bit, Stereo");
    EXPECT_EQ(camera->AudioFormatIndex(), 2);  // 8 kHz, 16 bit, mono
    camera->SetAudioFormatIndex(20);           // out of range: ignored
    EXPECT_EQ(camera->AudioFormatIndex(), 2);
}

TEST_F(AudioTrack, WithoutAMixerThereAreNoInputs) {
    EXPECT_TRUE(camera->AudioInputList().empty());
    EXPECT_EQ(camera->AudioInputIndex(), -1);
    camera->SelectAudioInput("Mic");  // nothing to select, nothing breaks
    camera->SetAudioInputVolume("Mic", 50);
    EXPECT_TRUE(camera->AudioInputLines().empty());
}

TEST_F(AudioTrack, TheLastRecordingMixerGivesSourcesThenItsDestination) {
    mixer.AddDevice(FakeMixerLayout{"Playback", {{{"Speakers", {}}, {{"Wave", {C::Volume(100, 10)}}}}}});
    AddCard("Recording Control", 0);
    AddCard("RECORDING CONTROL", 1);  // read in lower case, so the later card wins
    Remake();
    EXPECT_EQ(camera->AudioInputList(), (std::vector<std::string>{"Line", "Mic", "CD", "RECORDING CONTROL"}));
    const TGetAudioInfo lines = camera->AudioInputLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].Volume, 50);
    EXPECT_TRUE(lines[0].HasVolume);
    EXPECT_EQ(lines[2].Volume, -1);
    EXPECT_FALSE(lines[2].HasVolume);
    EXPECT_EQ(lines[3].Volume, 80);
    // The list's item 1 is "Mic", which is source 1; items are matched by name.
    EXPECT_EQ(camera->AudioInputIndex(), 1);
}

TEST_F(AudioTrack, SelectingAndSettingVolumesWorkByName) {
    const unsigned card = AddCard("Recording Control", 0);
    Remake();
    EXPECT_EQ(camera->AudioInputIndex(), 2);  // item "CD"
    camera->SelectAudioInput("Line");
    EXPECT_EQ(camera->AudioInputIndex(), 0);
    const std::uint32_t mux = mixer.ControlId(card, 0, -1, MIXERCONTROL_CONTROLTYPE_MUX);
    EXPECT_EQ(mixer.Values(card, mux), (std::vector<std::uint32_t>{0, 0, 1}));
    camera->SelectAudioInput("line");               // case matters: nothing changes
    camera->SelectAudioInput("Recording Control");  // the destination is no source of its own
    EXPECT_EQ(camera->AudioInputIndex(), 0);

    camera->SetAudioInputVolume("Line", 30);
    camera->SetAudioInputVolume("Recording Control", 150);
    EXPECT_EQ(mixer.Values(card, mixer.ControlId(card, 0, 0, MIXERCONTROL_CONTROLTYPE_VOLUME)),
              std::vector<std::uint32_t>{60});
    EXPECT_EQ(mixer.Values(card, mixer.ControlId(card, 0, -1, MIXERCONTROL_CONTROLTYPE_VOLUME)),
              std::vector<std::uint32_t>{100});
    const TGetAudioInfo lines = camera->AudioInputLines();
    EXPECT_EQ(lines[0].Volume, 30);
    EXPECT_EQ(lines[3].Volume, 100);
    camera->GetAudioInputList();  // read back from the mixer
    EXPECT_EQ(camera->AudioInputLines()[0].Volume, 30);
}

TEST_F(AudioTrack, InputsOfOneNameAreListedApartAndActedOnOneByOne) {
    const std::string longName = std::string(63, 'x');  // the two long names differ after what a line holds
    const unsigned card = mixer.AddDevice(
        FakeMixerLayout{"Card",
                        {{{"Recording Control", {C::Mux({"USB Mic", "USB Mic", longName + "a", longName + "b"}, {0})}},
                          {{"USB Mic", {C::Volume(100, 10)}},
                           {"USB Mic", {C::Volume(100, 10)}},
                           {longName + "a", {}},
                           {longName + "b", {}}}}}});
    Remake();
    EXPECT_EQ(camera->AudioInputList(),
              (std::vector<std::string>{"USB Mic", "USB Mic (2)", longName, longName + " (2)", "Recording Control"}));
    EXPECT_EQ(camera->AudioInputLines()[3].LineName, longName + " (2)");
    camera->SelectAudioInput("USB Mic (2)");
    EXPECT_EQ(camera->AudioInputIndex(), 1);
    EXPECT_EQ(mixer.Values(card, mixer.ControlId(card, 0, -1, MIXERCONTROL_CONTROLTYPE_MUX)),
              (std::vector<std::uint32_t>{0, 1, 0, 0}));
    camera->SetAudioInputVolume("USB Mic (2)", 30);
    EXPECT_EQ(mixer.Values(card, mixer.ControlId(card, 0, 0, MIXERCONTROL_CONTROLTYPE_VOLUME)),
              std::vector<std::uint32_t>{10});
    EXPECT_EQ(mixer.Values(card, mixer.ControlId(card, 0, 1, MIXERCONTROL_CONTROLTYPE_VOLUME)),
              std::vector<std::uint32_t>{30});
    EXPECT_EQ(camera->AudioInputLines()[1].Volume, 30);
    camera->GetAudioInputList();  // the selection reads back as the second microphone
    EXPECT_EQ(camera->AudioInputIndex(), 1);
}

TEST_F(AudioTrack, TheRecordingsSoundIsTheChosenStockFormatAndPausesWithThePicture) {
    camera->SetUseAudioRecord(true);
    camera->SetAudioFormatIndex(15);
    camera->SetRecordType(TTypeRecord::NoCompress);
    camera->ScreenArea().SetBounds(Rect{0, 0, 32, 16});
    std::size_t fedWhilePaused = 1;
    EngineTestAccess::RecordAVI(*camera, folder + "/out.avi", [&](RecordingSession& session) {
        ASSERT_TRUE(waveIn.WaitForRecording(2, 5000));
        EXPECT_EQ(waveIn.Feed(1000, 7), 1000u);
        session.recorder->SetPaused(true);  // as the capture loop does while the recording is paused
        fedWhilePaused = waveIn.Feed(500, 9);
        session.recorder->SetPaused(false);
        EXPECT_EQ(waveIn.Feed(200, 7), 200u);
        Globals().StopReason = TStopReason::Cancel;
    });
    EXPECT_EQ(fedWhilePaused, 0u);
    ASSERT_TRUE(waveIn.OpenFormat());
    EXPECT_EQ(waveIn.OpenFormat()->Record().nSamplesPerSec, 44100u);
    EXPECT_EQ(waveIn.OpenFormat()->Record().nChannels, 2u);
    // The recorder is gone, so the file is complete: its header and the bytes recorded.
    EXPECT_EQ(std::filesystem::file_size(Globals().TempAudioFile()), 46u + 1200u);
}

TEST_F(AudioTrack, TheSoundEndsWithTheLastFrameWhateverTheInputHandedOver) {
    camera->SetUseAudioRecord(true);  // 8 kHz, 16 bit, mono: 16 bytes a millisecond
    camera->SetRecordType(TTypeRecord::NoCompress);
    camera->ScreenArea().SetBounds(Rect{0, 0, 32, 16});
    // A second of sound, as a source rendering ahead hands it over; 100 ms, the rest not handed over by the stop.
    for (const std::size_t fed : {16000u, 1600u}) {
        SCOPED_TRACE(fed);
        EngineTestAccess::RecordAVI(*camera, folder + "/out.avi", [&](RecordingSession& session) {
            ASSERT_TRUE(waveIn.WaitForRecording(2, 5000));
            session.timeline.Start(clock.NowMs());
            const std::optional<PackedDib> dib =
                camera->CaptureFrame(TCaptureMode::cmDib, nullptr, 0, 0, 32, 16, false);
            ASSERT_TRUE(dib);
            for (int position = 0; position < 25; ++position) {  // 25 frames of 20 ms
                clock.Advance(20);
                ASSERT_TRUE(EngineTestAccess::WriteFrame(*camera, session, position, *dib));
            }
            EXPECT_EQ(waveIn.Feed(fed, 7), fed);
            Globals().StopReason = TStopReason::Cancel;
        });
        EXPECT_EQ(std::filesystem::file_size(Globals().TempAudioFile()), 46u + 500u * 16);
    }
}

TEST_F(AudioTrack, SoundWithoutAnInputEndsTheRecordingBeforeItsLoopAndSavesNothing) {
    waveIn.SetDeviceCount(0);
    waveIn.FailCall(FakeWaveCall::QueryFormat, MMSYSERR_NODRIVER);
    waveIn.FailCall(FakeWaveCall::Open, MMSYSERR_NODRIVER);
    camera->SetUseAudioRecord(true);
    camera->SetRecordType(TTypeRecord::CompressOnFly);
    camera->ScreenArea().SetBounds(Rect{0, 0, 32, 16});
    compressors.Add(FakeCompressorManager::Codec("AAAA"));
    camera->GetVideoCodecList();
    camera->SetSelectedCompressor(0);
    bool looped = false;
    const RecordOutcome result = EngineTestAccess::RecordAVI(*camera, folder + "/out.avi", [&](RecordingSession&) {
        looped = true;
        Globals().StopReason = TStopReason::StopAndSave;
    });
    EXPECT_EQ(result, RecordOutcome::abandoned);
    EXPECT_FALSE(looped);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().rfind("error:Can not record sound: ", 0), 0u) << ::testing::PrintToString(events);
    EXPECT_TRUE(host.Questions().empty()) << "no compressor question for a missing sound input";
    EXPECT_EQ(avi.File(folder + "/out.avi"), nullptr);
}

}  // namespace
}  // namespace tolm

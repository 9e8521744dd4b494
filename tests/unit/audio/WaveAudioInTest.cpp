#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "WaveTestSupport.h"
#include "audio/MessageQueue.h"
#include "audio/scWaveIn.h"
#include "platform/fake/FakeWaveIn.h"

namespace tolm::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Ramp(std::size_t count, std::uint8_t first = 0) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

// Window mode: the device's messages wait in this thread's queue. Each pass runs what the last one posted;
// the deepest chain (reset -> buffers -> close) needs three.
void Serve() {
    for (int pass = 0; pass < 8; ++pass) MessageQueue::OfCurrentThread()->DispatchPending();
}

// Opens and closes on request and collects what the buffer cycle hands to ProcessData.
class Probe : public TWaveAudioIn {
  public:
    explicit Probe(WaveInService* service) : TWaveAudioIn(service) {
        SetPCMFormat(TPCMFormat::Mono8Bit8000Hz);
        SetBufferLength(10);  // 80-byte buffers
    }
    // First, as for every subclass: the buffer thread may still be calling ProcessData.
    ~Probe() override { Shutdown(); }
    using TWaveAudioIn::CloseDevice;
    using TWaveAudioIn::OpenDevice;

    Bytes processed;
    int processCalls = 0;
    bool keepBlocks = false;
    std::vector<Bytes> kept;

  protected:
    void ProcessData(const std::uint8_t* buffer, std::uint32_t count, bool& FreeIt) override {
        ++processCalls;
        processed.insert(processed.end(), buffer, buffer + count);
        if (keepBlocks) FreeIt = false;
    }
    void BlockKept(std::vector<std::uint8_t>&& block) override { kept.push_back(std::move(block)); }
};

class WaveAudioInTest : public WaveDeviceTest {};

TEST_F(WaveAudioInTest, DefaultsAndSetterRules) {
    TWaveAudioIn in(&fake);
    EXPECT_EQ(in.PCMFormat(), TPCMFormat::Mono16bit8000Hz);
    EXPECT_EQ(in.BufferLength(), 1000);
    EXPECT_EQ(in.BufferCount(), 2);
    EXPECT_EQ(in.DeviceID(), WAVE_MAPPER);
    EXPECT_FALSE(in.Async());
    in.SetBufferLength(5);
    EXPECT_EQ(in.BufferLength(), 10);
    in.SetBufferCount(0);
    EXPECT_EQ(in.BufferCount(), 0);
}

TEST_F(WaveAudioInTest, WrongStateCallsRaiseTheirTexts) {
    Probe in(&fake);
    EXPECT_THROW(
        {
            try {
                in.CloseDevice();
            } catch (const EWaveAudioInvalidOperation& e) {
                EXPECT_STREQ(e.what(), "Device is aleardy close");
                throw;
            }
        },
        EWaveAudioInvalidOperation);
    ASSERT_TRUE(in.OpenDevice());
    try {
        in.OpenDevice();
        ADD_FAILURE() << "a second open went through";
    } catch (const EWaveAudioInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Device is aleardy open");
    }
    EXPECT_NO_THROW(in.SetPCMFormat(TPCMFormat::Mono8Bit8000Hz));
    try {
        in.SetPCMFormat(TPCMFormat::Stereo16bit44100Hz);
        ADD_FAILURE() << "the format changed while open";
    } catch (const EWaveAudioInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Audio format cannot be changed while device is open");
    }
    EXPECT_EQ(in.PCMFormat(), TPCMFormat::Mono8Bit8000Hz);
    EXPECT_TRUE(in.CloseDevice());
    Serve();
    EXPECT_NO_THROW(in.SetPCMFormat(TPCMFormat::Stereo16bit44100Hz));
}

TEST_F(WaveAudioInTest, CloseReturnsAtOnceAndCompletesWhenTheQueuedBuffersCameBack) {
    Probe in(&fake);
    std::vector<std::string> events;
    in.OnActivate = [&](TWaveAudioIO&) { events.push_back("activate"); };
    in.OnDeactivate = [&](TWaveAudioIO&) { events.push_back("deactivate"); };
    ASSERT_TRUE(in.OpenDevice());
    EXPECT_TRUE(in.Active());
    EXPECT_TRUE(events.empty()) << "the open message waits for this thread to serve its queue";
    Serve();
    ASSERT_EQ(events, std::vector<std::string>{"activate"});
    EXPECT_EQ(fake.QueuedCount(), 2u);
    EXPECT_TRUE(fake.IsStarted());

    const Bytes audio = Ramp(110);  // one full buffer and 30 bytes of the next
    EXPECT_EQ(fake.Feed(audio), 110u);
    Serve();
    EXPECT_EQ(fake.QueuedCount(), 2u) << "the full buffer is queued again";

    EXPECT_TRUE(in.CloseDevice());
    EXPECT_TRUE(in.Active());
    EXPECT_EQ(fake.CallCount(FakeWaveCall::Close), 0) << "closed before its buffers came back";
    Serve();
    EXPECT_FALSE(in.Active());
    EXPECT_FALSE(fake.IsOpen());
    EXPECT_EQ(events, (std::vector<std::string>{"activate", "deactivate"}));
    EXPECT_EQ(in.processed, audio);
    EXPECT_EQ(in.processCalls, 2) << "the empty buffer must not reach the hook";
}

TEST_F(WaveAudioInTest, EmptyBuffersReachNoHookAndTheCloseReportsSilenceOnce) {
    Probe in(&fake);
    std::vector<int> levels;
    int dataCalls = 0;
    in.OnLevel = [&](TWaveAudioIO&, int level) { levels.push_back(level); };
    in.OnData = [&](TWaveAudioIO&, const std::uint8_t*, std::uint32_t) { ++dataCalls; };
    ASSERT_TRUE(in.OpenDevice());
    Serve();
    fake.Feed(80, 0xFF);  // 8-bit full scale
    Serve();
    ASSERT_TRUE(in.CloseDevice());
    Serve();
    EXPECT_EQ(levels, (std::vector<int>{100, 0}));
    EXPECT_EQ(dataCalls, 1);
    EXPECT_EQ(in.processCalls, 1);
}

TEST_F(WaveAudioInTest, PausedOpenQueuesButRecordsNothingUntilResumed) {
    Probe in(&fake);
    int activated = 0, paused = 0, resumed = 0;
    in.OnActivate = [&](TWaveAudioIO&) { ++activated; };
    in.OnPause = [&](TWaveAudioIO&) { ++paused; };
    in.OnResume = [&](TWaveAudioIO&) { ++resumed; };
    in.SetPaused(true);
    ASSERT_TRUE(in.OpenDevice());
    Serve();
    EXPECT_EQ(activated, 1);
    EXPECT_EQ(fake.QueuedCount(), 2u);
    EXPECT_FALSE(fake.IsStarted());
    EXPECT_EQ(fake.Feed(Ramp(80)), 0u);

    in.SetPaused(false);
    EXPECT_EQ(resumed, 1);
    fake.Feed(Ramp(110));
    in.SetPaused(true);  // hands back the partly filled buffer
    Serve();
    EXPECT_EQ(paused, 2);
    EXPECT_EQ(in.processed, Ramp(110));
    EXPECT_EQ(fake.QueuedCount(), 2u);
    EXPECT_EQ(fake.Feed(Ramp(10)), 0u);
    ASSERT_TRUE(in.CloseDevice());
    Serve();
    EXPECT_TRUE(in.Paused()) << "Paused survives a close";
}

TEST_F(WaveAudioInTest, HookExceptionIsShownAndTheBufferLeavesThePool) {
    Probe in(&fake);
    in.OnData = [](TWaveAudioIO&, const std::uint8_t*, std::uint32_t) { throw std::runtime_error("meter broke"); };
    ASSERT_TRUE(in.OpenDevice());
    Serve();
    fake.Feed(80, 1);
    Serve();
    EXPECT_EQ(shown, std::vector<std::string>{"meter broke"});
    EXPECT_TRUE(in.Active());
    EXPECT_EQ(fake.QueuedCount(), 1u);
    ASSERT_TRUE(in.CloseDevice());
    Serve();
    EXPECT_FALSE(in.Active());
}

TEST_F(WaveAudioInTest, RefusedFormatRaisesWithoutHandlerAndReportsWithOne) {
    fake.SetSupportedFormats({Stock(TPCMFormat::Mono16bit44100Hz)});
    fake.SetErrorText(WAVERR_BADFORMAT, "The device cannot record in this format.");
    Probe in(&fake);
    try {
        in.OpenDevice();
        ADD_FAILURE() << "no error raised";
    } catch (const EWaveAudioSysError& e) {
        EXPECT_STREQ(e.what(), "The device cannot record in this format.");
    }
    EXPECT_FALSE(in.Active());
    EXPECT_EQ(in.LastError(), WAVERR_BADFORMAT);
    EXPECT_EQ(fake.CallCount(FakeWaveCall::Open), 0);

    int errors = 0;
    in.OnError = [&](TWaveAudioIO&) { ++errors; };
    EXPECT_FALSE(in.OpenDevice());
    EXPECT_EQ(errors, 1);
    EXPECT_FALSE(in.Active());
}

TEST_F(WaveAudioInTest, OwnFormatComesFromOnFormatAndIsNotMetered) {
    WAVEFORMATEX adpcm{2, 1, 8000, 4096, 256, 4, 2};
    const WaveFormatBlock supplied(adpcm, {0xF9, 0x01});
    fake.SetSupportedFormats({adpcm});
    fake.SetErrorText(WAVERR_BADFORMAT, "no format");
    Probe in(&fake);
    in.SetPCMFormat(TPCMFormat::nonePCM);
    EXPECT_THROW(in.OpenDevice(), EWaveAudioSysError) << "no handler, no format";

    int levels = 0;
    in.OnLevel = [&](TWaveAudioIO&, int) { ++levels; };
    in.OnFormat = [&](TWaveAudioIO&, std::optional<WaveFormatBlock>& format) { format = supplied; };
    ASSERT_TRUE(in.OpenDevice());
    EXPECT_EQ(fake.OpenFormat(), supplied);
    Serve();
    fake.Feed(Ramp(300));
    ASSERT_TRUE(in.CloseDevice());
    Serve();
    EXPECT_EQ(in.processed, Ramp(300));
    EXPECT_EQ(levels, 0);
}

TEST_F(WaveAudioInTest, FailedRealOpenGivesFalseAndLeavesNoCallback) {
    fake.FailCall(FakeWaveCall::Open, MMSYSERR_ALLOCATED, 1);
    Probe in(&fake);
    in.SetAsync(true);
    EXPECT_FALSE(in.OpenDevice());
    EXPECT_FALSE(in.Active());
    EXPECT_EQ(in.LastError(), MMSYSERR_ALLOCATED);
    ASSERT_TRUE(in.OpenDevice());
    EXPECT_TRUE(fake.WaitForQueued(2, 5000));
}

TEST_F(WaveAudioInTest, MachineWithoutSoundHasNoDevicesAndSaysSo) {
    Probe in(nullptr);
    EXPECT_EQ(in.DeviceCount(), 0);
    EXPECT_EQ(in.DeviceName(), "");
    EXPECT_TRUE(in.DeviceFormats().Empty());
    EXPECT_EQ(in.GetErrorText(MMSYSERR_NODRIVER), "No sound input device is available.");
    EXPECT_FALSE(in.IsPCMFormatSupported(TPCMFormat::Mono8Bit8000Hz));
    try {
        in.OpenDevice();
        ADD_FAILURE() << "opened without a service";
    } catch (const EWaveAudioSysError& e) {
        EXPECT_STREQ(e.what(), "No sound input device is available.");
    }
    EXPECT_EQ(in.LastError(), MMSYSERR_NODRIVER);
    EXPECT_FALSE(in.Active());
}

TEST_F(WaveAudioInTest, DeviceQueries) {
    fake.SetCaps(WaveInCaps{"Line In", WAVE_FORMAT_1M08 | WAVE_FORMAT_4S16, 2});
    Probe in(&fake);
    EXPECT_EQ(in.DeviceName(), "Line In");
    const TPCMFormats formats = in.DeviceFormats();
    for (int v = 1; v <= 4; ++v) EXPECT_TRUE(formats.Has(static_cast<TPCMFormat>(v))) << v;
    EXPECT_TRUE(formats.Has(TPCMFormat::Mono8bit11025Hz));
    EXPECT_TRUE(formats.Has(TPCMFormat::Stereo16bit44100Hz));
    EXPECT_FALSE(formats.Has(TPCMFormat::Stereo8bit11025Hz));
    EXPECT_FALSE(formats.Has(TPCMFormat::Mono8bit48000Hz));
    fake.FailCall(FakeWaveCall::GetCaps, MMSYSERR_NODRIVER, 1);
    EXPECT_TRUE(in.DeviceFormats().Empty());

    fake.SetErrorText(MMSYSERR_ERROR, std::string(254, 'x') + "\xC3\xA9" + std::string(40, 'y'));
    EXPECT_EQ(in.GetErrorText(MMSYSERR_ERROR), std::string(254, 'x')) << "cut before the split character";
    fake.SetErrorText(MMSYSERR_ERROR, std::string(300, 'x'));
    EXPECT_EQ(in.GetErrorText(MMSYSERR_ERROR).size(), 255u);
}

TEST_F(WaveAudioInTest, PositionInEveryForm) {
    Probe in(&fake);
    EXPECT_EQ(in.Position(), 0u);
    ASSERT_TRUE(in.OpenDevice());
    Serve();
    fake.Feed(Ramp(120));  // 15 ms at 8000 bytes/s
    fake.SetPositionForm(TIME_BYTES);
    EXPECT_EQ(in.Position(), 15u);
    fake.SetPositionForm(TIME_SAMPLES);
    EXPECT_EQ(in.Position(), 15u);
    fake.FailCall(FakeWaveCall::GetPosition, MMSYSERR_ERROR, 1);
    EXPECT_EQ(in.Position(), 0u);

    WAVEFORMATEX none;
    MMTIME bytes{TIME_BYTES, 44100};
    EXPECT_EQ(TWaveAudioIO::MMTimeToMilliseconds(bytes, none), 0u) << "no byte rate";
    EXPECT_EQ(TWaveAudioIO::MMTimeToMilliseconds(bytes, Stock(TPCMFormat::Mono8bit44100Hz)), 1000u);
    MMTIME smpte{TIME_SMPTE, 0, 1, 2, 3, 24};
    EXPECT_EQ(TWaveAudioIO::MMTimeToMilliseconds(smpte, none), 3723000u) << "frames are ignored";
    EXPECT_EQ(TWaveAudioIO::MMTimeToMilliseconds(MMTIME{0x40, 5}, none), 0u);
}

TEST_F(WaveAudioInTest, LoweringBufferCountRetiresSurplusBuffersAsTheyReturn) {
    Probe in(&fake);
    ASSERT_TRUE(in.OpenDevice());
    Serve();
    in.SetBufferCount(1);
    fake.Feed(Ramp(80));
    Serve();
    EXPECT_EQ(fake.QueuedCount(), 1u);
    fake.Feed(Ramp(80, 80));
    Serve();
    EXPECT_EQ(fake.QueuedCount(), 1u) << "the last buffer is kept in use";
    EXPECT_EQ(in.processed, Ramp(160));
}

TEST_F(WaveAudioInTest, KeptBlocksBelongToTheHookAndFreshOnesAreQueued) {
    Probe in(&fake);
    in.keepBlocks = true;
    ASSERT_TRUE(in.OpenDevice());
    Serve();
    fake.Feed(Ramp(160));
    Serve();
    ASSERT_EQ(in.kept.size(), 2u);
    EXPECT_EQ(in.kept[0], Ramp(80));
    EXPECT_EQ(in.kept[1], Ramp(80, 80));
    EXPECT_EQ(fake.QueuedCount(), 2u);
    fake.Feed(80, 0xEE);
    Serve();
    EXPECT_EQ(in.kept[0], Ramp(80)) << "a kept block was recorded into again";
    EXPECT_EQ(in.kept.size(), 3u);
}

TEST_F(WaveAudioInTest, ExternalBufferIsFilledInTurnAndThenRetired) {
    Probe in(&fake);
    ASSERT_TRUE(in.OpenDevice());
    Serve();
    Bytes mine(40);
    ASSERT_TRUE(in.QueueExternalBuffer(mine.data(), 40));
    EXPECT_EQ(fake.QueuedCount(), 3u);
    fake.Feed(Ramp(200));
    Serve();
    EXPECT_EQ(mine, Ramp(40, 160));
    EXPECT_EQ(in.processed, Ramp(200));
    EXPECT_EQ(fake.QueuedCount(), 2u);
}

TEST_F(WaveAudioInTest, AsyncDeliversOnTheBufferThread) {
    Probe in(&fake);
    in.SetAsync(true);
    std::thread::id dataThread;
    int deactivated = 0;
    in.OnData = [&](TWaveAudioIO&, const std::uint8_t*, std::uint32_t) { dataThread = std::this_thread::get_id(); };
    in.OnDeactivate = [&](TWaveAudioIO&) { ++deactivated; };
    ASSERT_TRUE(in.OpenDevice());
    ASSERT_TRUE(fake.WaitForRecording(2, 5000));
    EXPECT_EQ(fake.Feed(Ramp(100)), 100u);
    ASSERT_TRUE(in.CloseDevice());
    in.WaitWhileClosing();
    EXPECT_FALSE(in.Active());
    EXPECT_EQ(deactivated, 1);
    EXPECT_EQ(in.processed, Ramp(100));
    EXPECT_NE(dataThread, std::this_thread::get_id());
}

TEST_F(WaveAudioInTest, AsyncChangedWhileActiveIsIgnored) {
    Probe in(&fake);
    ASSERT_TRUE(in.OpenDevice());
    in.SetAsync(true);
    EXPECT_FALSE(in.Async());
    Serve();
    EXPECT_EQ(fake.QueuedCount(), 2u) << "the messages still come through this thread";
    ASSERT_TRUE(in.CloseDevice());
    Serve();
    EXPECT_FALSE(in.Active());
    in.SetAsync(true);
    EXPECT_TRUE(in.Async());
}

TEST_F(WaveAudioInTest, DeviceKeepingItsBuffersIsReleasedAfterTheWaitLimit) {
    fake.SetKeepBuffersOnReset(true);
    Probe in(&fake);
    in.SetCloseWaitLimitMs(50);
    int deactivated = 0;
    in.OnDeactivate = [&](TWaveAudioIO&) { ++deactivated; };
    ASSERT_TRUE(in.OpenDevice());
    Serve();
    fake.Feed(Ramp(30));
    ASSERT_TRUE(in.CloseDevice());
    in.WaitWhileClosing();
    EXPECT_FALSE(in.Active());
    EXPECT_EQ(deactivated, 1);
    EXPECT_FALSE(fake.IsOpen());
    EXPECT_EQ(fake.BuffersDroppedByDestroy(), 2u);
}

TEST_F(WaveAudioInTest, DestroyingOverADeviceThatRefusesToCloseEnds) {
    fake.FailCall(FakeWaveCall::Close, MMSYSERR_ERROR);
    {
        Probe in(&fake);
        in.SetAsync(true);
        in.SetCloseWaitLimitMs(50);
        ASSERT_TRUE(in.OpenDevice());
        ASSERT_TRUE(fake.WaitForQueued(2, 5000));
    }
    EXPECT_EQ(shown, std::vector<std::string>{"Fake wave input error 1."});
    EXPECT_FALSE(fake.IsOpen());
}

}  // namespace
}  // namespace tolm::test

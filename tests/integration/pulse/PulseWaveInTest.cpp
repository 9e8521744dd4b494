#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "PulseTestSupport.h"
#include "integration/Requirements.h"
#include "platform/pulse/PulseAudio.h"
#include "support/ScopedEnv.h"

namespace tolm::testing {
namespace {

struct WaveMessage {
    std::uint32_t message = 0;
    WAVEHDR* header = nullptr;
};

// A buffer the test lends the device.
struct Buffer {
    explicit Buffer(std::size_t bytes) : data(bytes, 0xEE) {
        header.lpData = data.data();
        header.dwBufferLength = static_cast<std::uint32_t>(bytes);
    }
    std::vector<std::uint8_t> data;
    WAVEHDR header;
};

class PulseWaveInTest : public PulseServerTest {
  protected:
    void SetUp() override {
        PulseServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        service_ = CreatePulseWaveInService("tolm-pulse-tests");
    }

    WaveInCallback Callback() {
        return [this](std::uint32_t message, WAVEHDR* header) { inbox_.Push({message, header}); };
    }

    // Opens the default source (the sine) and takes the open message.
    void OpenSine(const WaveFormatBlock& format) {
        ASSERT_EQ(service_->Open(WAVE_MAPPER, format, Callback(), device_), MMSYSERR_NOERROR);
        WaveMessage m;
        ASSERT_TRUE(inbox_.Pop(m));
        ASSERT_EQ(m.message, MM_WIM_OPEN);
    }

    void Queue(Buffer& buffer) {
        ASSERT_EQ(device_->Prepare(buffer.header), MMSYSERR_NOERROR);
        ASSERT_EQ(device_->AddBuffer(buffer.header), MMSYSERR_NOERROR);
    }

    std::uint32_t PositionBytes() {
        MMTIME time;
        time.wType = TIME_BYTES;
        EXPECT_EQ(device_->GetPosition(time), MMSYSERR_NOERROR);
        return time.value;
    }

    // Waits (not a timed assertion: the bound only keeps a broken device from hanging the test) until the
    // device has delivered more than `bytes`.
    bool WaitForPositionAbove(std::uint32_t bytes) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (PositionBytes() <= bytes) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    // Records the sine of the server PULSE_SERVER names into two buffers until its first bytes arrived.
    void RecordSineInto(Buffer& first, Buffer& second) {
        service_ = CreatePulseWaveInService("tolm-pulse-tests");
        ASSERT_NO_FATAL_FAILURE(OpenSine(PcmFormat(1, 44100, 16)));
        ASSERT_NO_FATAL_FAILURE(Queue(first));
        ASSERT_NO_FATAL_FAILURE(Queue(second));
        ASSERT_EQ(device_->Start(), MMSYSERR_NOERROR);
        ASSERT_TRUE(WaitForPositionAbove(0));
    }

    void CloseAndExpectCloseMessage() {
        ASSERT_EQ(device_->Close(), MMSYSERR_NOERROR);
        WaveMessage m;
        ASSERT_TRUE(inbox_.Pop(m));
        EXPECT_EQ(m.message, MM_WIM_CLOSE);
        EXPECT_EQ(device_->Close(), MMSYSERR_INVALHANDLE);
    }

    std::unique_ptr<WaveInService> service_;
    std::unique_ptr<WaveInDevice> device_;
    Inbox<WaveMessage> inbox_;
};

TEST_F(PulseWaveInTest, TwoSecondsThroughRequeuedBuffersHold440Hz) {
    constexpr unsigned kRate = 44100;
    constexpr std::size_t kBufferBytes = kRate / 10 * 2;  // 100 ms of 16-bit mono
    constexpr int kFullBuffers = 20;                      // 2 s
    // The test server's sine source has a fixed latency of 2 s and sends its sound in blocks that long, so more
    // than 2 s of buffers stay queued: nothing is dropped and the 2 s are one continuous piece.
    constexpr int kQueued = 24;
    ASSERT_NO_FATAL_FAILURE(OpenSine(PcmFormat(1, kRate, 16)));
    std::vector<std::unique_ptr<Buffer>> buffers;
    for (int i = 0; i < kQueued; ++i) {
        buffers.push_back(std::make_unique<Buffer>(kBufferBytes));
        ASSERT_NO_FATAL_FAILURE(Queue(*buffers.back()));
    }
    ASSERT_EQ(device_->Start(), MMSYSERR_NOERROR);

    std::vector<std::int16_t> samples;
    std::size_t bytesBack = 0;
    for (int full = 0; full < kFullBuffers; ++full) {
        WaveMessage m;
        ASSERT_TRUE(inbox_.Pop(m)) << "after " << full << " buffers";
        ASSERT_EQ(m.message, MM_WIM_DATA);
        ASSERT_EQ(m.header, &buffers[full % kQueued]->header);  // in the order they were queued
        ASSERT_EQ(m.header->dwBytesRecorded, kBufferBytes);
        EXPECT_EQ(m.header->dwFlags & (WHDR_DONE | WHDR_INQUEUE | WHDR_PREPARED), WHDR_DONE | WHDR_PREPARED);
        const auto* data = reinterpret_cast<const std::int16_t*>(m.header->lpData);
        samples.insert(samples.end(), data, data + kBufferBytes / 2);
        bytesBack += m.header->dwBytesRecorded;
        ASSERT_EQ(device_->AddBuffer(*m.header), MMSYSERR_NOERROR);
    }
    // Whatever came after the 2 s comes back from the reset, each queued buffer once.
    ASSERT_EQ(device_->Reset(), MMSYSERR_NOERROR);
    for (int i = 0; i < kQueued; ++i) {
        WaveMessage m;
        ASSERT_TRUE(inbox_.Pop(m));
        ASSERT_EQ(m.message, MM_WIM_DATA);
        bytesBack += m.header->dwBytesRecorded;
    }
    EXPECT_EQ(inbox_.Size(), 0u);
    EXPECT_EQ(PositionBytes(), bytesBack);
    MMTIME ms;
    ms.wType = TIME_MS;
    ASSERT_EQ(device_->GetPosition(ms), MMSYSERR_NOERROR);
    EXPECT_EQ(ms.wType, TIME_MS);
    EXPECT_EQ(ms.value, bytesBack * 1000 / (kRate * 2));
    MMTIME frames;
    frames.wType = TIME_SAMPLES;
    ASSERT_EQ(device_->GetPosition(frames), MMSYSERR_NOERROR);
    EXPECT_EQ(frames.value, bytesBack / 2);
    MMTIME smpte;
    smpte.wType = TIME_SMPTE;
    ASSERT_EQ(device_->GetPosition(smpte), MMSYSERR_NOERROR);
    EXPECT_EQ(smpte.wType, TIME_BYTES);

    EXPECT_EQ(samples.size(), kRate * 2);
    EXPECT_NEAR(ZeroCrossingFrequency(samples, kRate), 440.0, 2.0);
    ASSERT_NO_FATAL_FAILURE(CloseAndExpectCloseMessage());
}

TEST_F(PulseWaveInTest, EightBitSamplesAreUnsignedAroundTheMiddle) {
    ASSERT_NO_FATAL_FAILURE(OpenSine(PcmFormat(1, 8000, 8)));
    Buffer buffer(800);
    ASSERT_NO_FATAL_FAILURE(Queue(buffer));
    ASSERT_EQ(device_->Start(), MMSYSERR_NOERROR);
    WaveMessage m;
    ASSERT_TRUE(inbox_.Pop(m));
    ASSERT_EQ(m.header, &buffer.header);
    long sum = 0;
    int low = 255, high = 0;
    for (std::uint8_t v : buffer.data) {
        sum += v;
        low = std::min<int>(low, v);
        high = std::max<int>(high, v);
    }
    // Signed samples would centre on 0 and wrap around to both ends.
    EXPECT_NEAR(static_cast<double>(sum) / buffer.data.size(), 128.0, 8.0);
    EXPECT_GT(high - low, 20);
    EXPECT_GT(low, 0);
    EXPECT_LT(high, 255);
    ASSERT_NO_FATAL_FAILURE(CloseAndExpectCloseMessage());
}

TEST_F(PulseWaveInTest, ResetHandsBackEveryQueuedBufferInOrderWithWhatItHolds) {
    ASSERT_NO_FATAL_FAILURE(OpenSine(PcmFormat(1, 44100, 16)));
    Buffer small(882), large(882000), spare(882000);
    for (Buffer* b : {&small, &large, &spare}) ASSERT_NO_FATAL_FAILURE(Queue(*b));
    ASSERT_EQ(device_->Start(), MMSYSERR_NOERROR);
    WaveMessage m;
    ASSERT_TRUE(inbox_.Pop(m));
    ASSERT_EQ(m.header, &small.header);
    ASSERT_TRUE(WaitForPositionAbove(small.header.dwBufferLength));

    ASSERT_EQ(device_->Reset(), MMSYSERR_NOERROR);
    ASSERT_TRUE(inbox_.Pop(m));
    ASSERT_EQ(m.message, MM_WIM_DATA);
    ASSERT_EQ(m.header, &large.header);
    EXPECT_GT(large.header.dwBytesRecorded, 0u);
    EXPECT_LT(large.header.dwBytesRecorded, large.header.dwBufferLength);
    EXPECT_EQ(large.header.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
    ASSERT_TRUE(inbox_.Pop(m));
    ASSERT_EQ(m.header, &spare.header);
    EXPECT_EQ(spare.header.dwBytesRecorded, 0u);
    EXPECT_EQ(PositionBytes(), small.header.dwBufferLength + large.header.dwBytesRecorded);
    // The recorded part holds the sine; the rest of the buffer is untouched.
    const auto recordedEnd = large.data.begin() + large.header.dwBytesRecorded;
    EXPECT_FALSE(std::all_of(large.data.begin(), recordedEnd, [](std::uint8_t v) { return v == 0xEE; }));
    EXPECT_TRUE(std::all_of(recordedEnd, large.data.end(), [](std::uint8_t v) { return v == 0xEE; }));
    ASSERT_NO_FATAL_FAILURE(CloseAndExpectCloseMessage());
}

TEST_F(PulseWaveInTest, StopHandsBackOnlyThePartlyFilledBufferAndCloseWaitsForTheRest) {
    ASSERT_NO_FATAL_FAILURE(OpenSine(PcmFormat(2, 48000, 16)));
    Buffer unprepared(1000);
    EXPECT_EQ(device_->AddBuffer(unprepared.header), WAVERR_UNPREPARED);

    Buffer first(1920000), second(1920000);
    ASSERT_NO_FATAL_FAILURE(Queue(first));
    ASSERT_NO_FATAL_FAILURE(Queue(second));
    EXPECT_EQ(device_->AddBuffer(first.header), WAVERR_STILLPLAYING);
    EXPECT_EQ(device_->Unprepare(first.header), WAVERR_STILLPLAYING);
    ASSERT_EQ(device_->Start(), MMSYSERR_NOERROR);
    ASSERT_TRUE(WaitForPositionAbove(0));
    ASSERT_EQ(device_->Stop(), MMSYSERR_NOERROR);
    WaveMessage m;
    ASSERT_TRUE(inbox_.Pop(m));
    ASSERT_EQ(m.header, &first.header);
    EXPECT_GT(first.header.dwBytesRecorded, 0u);
    EXPECT_EQ(first.header.dwBytesRecorded % 4, 0u);  // whole stereo frames
    EXPECT_EQ(device_->Unprepare(first.header), MMSYSERR_NOERROR);
    EXPECT_EQ(first.header.dwFlags & WHDR_PREPARED, 0u);

    // The empty buffer stays queued, so the device cannot close yet.
    EXPECT_EQ(device_->Close(), WAVERR_STILLPLAYING);
    EXPECT_EQ(inbox_.Size(), 0u);
    ASSERT_EQ(device_->Reset(), MMSYSERR_NOERROR);
    ASSERT_TRUE(inbox_.Pop(m));
    ASSERT_EQ(m.header, &second.header);
    EXPECT_EQ(second.header.dwBytesRecorded, 0u);
    ASSERT_NO_FATAL_FAILURE(CloseAndExpectCloseMessage());
}

TEST_F(PulseWaveInTest, ServerLostWhileRecordingHandsBackBuffersAndStillCloses) {
    PrivatePulseServer server;
    if (!server.Started()) GTEST_SKIP() << "a private sound server could not be started";
    Buffer first(882000), second(882000);
    {
        ScopedEnv address("PULSE_SERVER", server.Address());
        ASSERT_NO_FATAL_FAILURE(RecordSineInto(first, second));
    }
    server.Kill();

    WaveMessage m;
    ASSERT_TRUE(inbox_.Pop(m));
    ASSERT_EQ(m.header, &first.header);
    EXPECT_GT(first.header.dwBytesRecorded, 0u);
    ASSERT_TRUE(inbox_.Pop(m));
    ASSERT_EQ(m.header, &second.header);
    EXPECT_EQ(second.header.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);

    EXPECT_EQ(device_->AddBuffer(first.header), MMSYSERR_NODRIVER);
    EXPECT_EQ(device_->Start(), MMSYSERR_NODRIVER);
    EXPECT_EQ(device_->Stop(), MMSYSERR_NODRIVER);
    EXPECT_EQ(device_->Reset(), MMSYSERR_NOERROR);
    ASSERT_NO_FATAL_FAILURE(CloseAndExpectCloseMessage());
    const std::string text = service_->ErrorText(MMSYSERR_NODRIVER);
    EXPECT_NE(text.find("No sound server could be reached (PulseAudio: "), std::string::npos) << text;

    // The same service finds the test's main server on its next call.
    EXPECT_GE(service_->DeviceCount(), 2u);
}

// A source that goes while the server stays: the device says the input was removed, not that the server is gone.
TEST_F(PulseWaveInTest, SourceRemovedWhileRecordingIsAMissingDeviceNotALostServer) {
    PrivatePulseServer server;
    if (!server.Started()) GTEST_SKIP() << "a private sound server could not be started";
    ScopedEnv address("PULSE_SERVER", server.Address());  // also for the pactl below
    Buffer first(882000), second(882000);
    ASSERT_NO_FATAL_FAILURE(RecordSineInto(first, second));
    bool unloaded = false;
    Pactl("unload-module module-sine-source", &unloaded);  // its only source: the stream cannot move
    ASSERT_TRUE(unloaded);

    WaveMessage m;
    ASSERT_TRUE(inbox_.Pop(m));
    ASSERT_EQ(m.header, &first.header);
    ASSERT_TRUE(inbox_.Pop(m));
    ASSERT_EQ(m.header, &second.header);
    EXPECT_EQ(device_->AddBuffer(first.header), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(device_->Reset(), MMSYSERR_NOERROR);
    ASSERT_NO_FATAL_FAILURE(CloseAndExpectCloseMessage());
    EXPECT_NE(service_->ErrorText(MMSYSERR_BADDEVICEID).find("may have been removed"), std::string::npos);
}

TEST_F(PulseWaveInTest, DestroyingAnOpenDeviceWithQueuedBuffersEnds) {
    ASSERT_NO_FATAL_FAILURE(OpenSine(PcmFormat(1, 22050, 16)));
    Buffer buffer(441000);
    ASSERT_NO_FATAL_FAILURE(Queue(buffer));
    ASSERT_EQ(device_->Start(), MMSYSERR_NOERROR);
    ASSERT_TRUE(WaitForPositionAbove(0));
    device_.reset();
    service_.reset();
    // Nothing is written into the buffer once the device is gone.
    const std::vector<std::uint8_t> kept = buffer.data;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(buffer.data, kept);
}

}  // namespace
}  // namespace tolm::testing

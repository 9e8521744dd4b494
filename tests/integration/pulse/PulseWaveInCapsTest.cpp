#include <gtest/gtest.h>

#include <memory>

#include "PulseTestSupport.h"
#include "integration/Requirements.h"
#include "platform/pulse/PulseAudio.h"

namespace tolm::testing {
namespace {

class PulseWaveInCapsTest : public PulseServerTest {
  protected:
    void SetUp() override {
        PulseServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        service_ = CreatePulseWaveInService("tolm-pulse-tests");
    }

    std::unique_ptr<WaveInService> service_;
};

TEST_F(PulseWaveInCapsTest, DeviceZeroIsTheDefaultSourceAndTheOthersFollowInIndexOrder) {
    const unsigned count = service_->DeviceCount();
    ASSERT_GE(count, 2u);
    WaveInCaps caps;
    ASSERT_EQ(service_->GetCaps(0, caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.productName, kSineDescription);
    EXPECT_EQ(caps.dwFormats, 0x0FFFu);
    EXPECT_EQ(caps.wChannels, 1);
    WaveInCaps mapper;
    ASSERT_EQ(service_->GetCaps(WAVE_MAPPER, mapper), MMSYSERR_NOERROR);
    EXPECT_EQ(mapper.productName, kSineDescription);

    // The default is not listed twice: the monitor (index 0) comes next.
    ASSERT_EQ(service_->GetCaps(1, caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.productName, kMonitorDescription);
    EXPECT_EQ(caps.wChannels, 2);

    EXPECT_EQ(service_->GetCaps(static_cast<int>(count), caps), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(service_->GetCaps(-2, caps), MMSYSERR_BADDEVICEID);
}

TEST_F(PulseWaveInCapsTest, QueryFormatAcceptsPcmOf8Or16BitsWithinTheLimits) {
    for (const WaveFormatBlock& good :
         {PcmFormat(1, 8000, 8), PcmFormat(2, 44100, 16), PcmFormat(8, 192000, 16), PcmFormat(1, 1000, 16)})
        EXPECT_EQ(service_->QueryFormat(WAVE_MAPPER, good), MMSYSERR_NOERROR)
            << good.Record().nChannels << " ch " << good.Record().nSamplesPerSec << " Hz";

    std::vector<WaveFormatBlock> bad = {PcmFormat(1, 44100, 24), PcmFormat(1, 44100, 32), PcmFormat(0, 44100, 16),
                                        PcmFormat(9, 44100, 16), PcmFormat(1, 999, 16),   PcmFormat(1, 192001, 16)};
    WAVEFORMATEX skewed = PcmFormat(2, 44100, 16).Record();
    skewed.nBlockAlign = 2;
    bad.emplace_back(skewed);
    WAVEFORMATEX rate = PcmFormat(2, 44100, 16).Record();
    rate.nAvgBytesPerSec = 44100;
    bad.emplace_back(rate);
    WAVEFORMATEX floating = PcmFormat(1, 44100, 16).Record();
    floating.wFormatTag = 3;
    bad.emplace_back(floating);
    for (const WaveFormatBlock& format : bad) {
        EXPECT_EQ(service_->QueryFormat(WAVE_MAPPER, format), WAVERR_BADFORMAT)
            << format.Record().wFormatTag << " " << format.Record().nChannels << " ch "
            << format.Record().wBitsPerSample << " bits";
    }
    EXPECT_EQ(service_->QueryFormat(99, PcmFormat(1, 8000, 8)), MMSYSERR_BADDEVICEID);
}

TEST_F(PulseWaveInCapsTest, OpenInAnUnsupportedFormatFailsWithoutMessages) {
    Inbox<std::uint32_t> inbox;
    std::unique_ptr<WaveInDevice> device;
    const auto callback = [&inbox](std::uint32_t message, WAVEHDR*) { inbox.Push(message); };
    EXPECT_EQ(service_->Open(WAVE_MAPPER, PcmFormat(1, 44100, 24), callback, device), WAVERR_BADFORMAT);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(service_->Open(42, PcmFormat(1, 44100, 16), callback, device), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(device, nullptr);
    // A good open afterwards posts exactly one message: its own.
    ASSERT_EQ(service_->Open(1, PcmFormat(2, 44100, 16), callback, device), MMSYSERR_NOERROR);
    std::uint32_t message = 0;
    ASSERT_TRUE(inbox.Pop(message));
    EXPECT_EQ(message, MM_WIM_OPEN);
    ASSERT_EQ(device->Close(), MMSYSERR_NOERROR);
    ASSERT_TRUE(inbox.Pop(message));
    EXPECT_EQ(message, MM_WIM_CLOSE);
}

}  // namespace
}  // namespace tolm::testing

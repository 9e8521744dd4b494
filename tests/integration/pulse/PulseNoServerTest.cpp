#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "PulseTestSupport.h"
#include "integration/Requirements.h"
#include "platform/pulse/PulseAudio.h"

namespace tolm::testing {
namespace {

// Points PULSE_SERVER, for the test's lifetime, at a socket nobody listens on (connecting is refused) or, when
// `stuck`, at one that takes connections but never answers.
class DeadServer {
  public:
    explicit DeadServer(bool stuck = false) {
        HavePulseServer();  // asked before the environment changes
        char pattern[] = "/tmp/tolm-dead-pulse.XXXXXX";
        const char* dir = mkdtemp(pattern);
        EXPECT_NE(dir, nullptr);
        dir_ = dir ? dir : "";
        const std::string path = dir_ + "/native";
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        if (stuck) {
            EXPECT_EQ(listen(fd, 4), 0);
            listening_ = fd;
        } else {
            close(fd);  // bound, never listened: the socket file stays and refuses connections
        }
        const char* previous = std::getenv("PULSE_SERVER");
        hadPrevious_ = previous != nullptr;
        if (previous) previous_ = previous;
        setenv("PULSE_SERVER", ("unix:" + path).c_str(), 1);
    }
    ~DeadServer() {
        if (listening_ >= 0) close(listening_);
        if (hadPrevious_)
            setenv("PULSE_SERVER", previous_.c_str(), 1);
        else
            unsetenv("PULSE_SERVER");
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

  private:
    std::string dir_;
    std::string previous_;
    bool hadPrevious_ = false;
    int listening_ = -1;
};

TEST(PulseNoServerTest, WaveInputHasNoDevicesAndSaysHowToFixIt) {
    DeadServer dead;
    const auto service = CreatePulseWaveInService("tolm-pulse-tests");
    EXPECT_EQ(service->DeviceCount(), 0u);
    WaveInCaps caps;
    EXPECT_EQ(service->GetCaps(WAVE_MAPPER, caps), MMSYSERR_NODRIVER);
    EXPECT_EQ(service->QueryFormat(WAVE_MAPPER, PcmFormat(1, 44100, 16)), MMSYSERR_NODRIVER);
    std::unique_ptr<WaveInDevice> device;
    bool called = false;
    EXPECT_EQ(service->Open(
                  WAVE_MAPPER, PcmFormat(1, 44100, 16), [&called](std::uint32_t, WAVEHDR*) { called = true; }, device),
              MMSYSERR_NODRIVER);
    EXPECT_EQ(device, nullptr);
    EXPECT_FALSE(called);
    EXPECT_EQ(service->ErrorText(MMSYSERR_NODRIVER),
              "No sound server could be reached (PulseAudio: Connection refused). Start PulseAudio or PipeWire's "
              "pulse service, or record without sound.");
}

TEST(PulseNoServerTest, NoMixer) {
    DeadServer dead;
    const auto service = CreatePulseMixerService("tolm-pulse-tests");
    EXPECT_EQ(service->DeviceCount(), 0u);
    MixerCaps caps;
    EXPECT_EQ(service->GetCaps(0, caps), MMSYSERR_NODRIVER);
    std::unique_ptr<MixerDevice> device;
    EXPECT_EQ(service->Open(0, {}, device), MMSYSERR_NODRIVER);
    EXPECT_EQ(device, nullptr);
}

TEST(PulseNoServerTest, ServerThatNeverAnswersIsGivenUp) {
    DeadServer stuck(true);
    const auto service = CreatePulseWaveInService("tolm-pulse-tests");
    EXPECT_EQ(service->DeviceCount(), 0u);
    EXPECT_NE(service->ErrorText(MMSYSERR_NODRIVER).find("(PulseAudio: Timeout)"), std::string::npos)
        << service->ErrorText(MMSYSERR_NODRIVER);
}

TEST(PulseNoServerTest, ServiceConnectsOnceTheServerIsThere) {
    auto service = CreatePulseWaveInService("tolm-pulse-tests");
    {
        DeadServer dead;
        EXPECT_EQ(service->DeviceCount(), 0u);
    }
    TOLM_SKIP_WITHOUT_PULSE();
    EXPECT_GT(service->DeviceCount(), 0u);
}

}  // namespace
}  // namespace tolm::testing

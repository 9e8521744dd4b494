#include "platform/pulse/PulseMixerService.h"

#include <utility>

#include "platform/WaveInput.h"
#include "platform/pulse/PulseMixerDevice.h"

namespace tolm::pulse {

PulseMixerService::PulseMixerService(std::string clientName, std::shared_ptr<SourceChoice> choice)
    : clientName_(std::move(clientName)), connection_(clientName_), choice_(std::move(choice)) {}

unsigned PulseMixerService::DeviceCount() {
    std::string problem;
    return connection_.Get(problem) ? 1 : 0;
}

int PulseMixerService::GetCaps(unsigned mixerId, MixerCaps& caps) {
    std::string problem;
    if (!connection_.Get(problem)) return MMSYSERR_NODRIVER;
    if (mixerId != 0) return MMSYSERR_BADDEVICEID;
    caps.productName = "PulseAudio";
    caps.cDestinations = 1;
    return MMSYSERR_NOERROR;
}

int PulseMixerService::Open(unsigned mixerId, MixerNotify notify, std::unique_ptr<MixerDevice>& device) {
    if (mixerId != 0) return DeviceCount() == 0 ? MMSYSERR_NODRIVER : MMSYSERR_BADDEVICEID;
    return PulseMixerDevice::Open(clientName_, choice_, std::move(notify), device);
}

}  // namespace tolm::pulse

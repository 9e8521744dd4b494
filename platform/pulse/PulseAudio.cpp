#include "platform/pulse/PulseAudio.h"

#include "platform/pulse/PulseMixerService.h"
#include "platform/pulse/PulseWaveInService.h"

namespace tolm {

std::unique_ptr<WaveInService> CreatePulseWaveInService(const std::string& clientName) {
    return std::make_unique<pulse::PulseWaveInService>(clientName);
}

std::unique_ptr<MixerService> CreatePulseMixerService(const std::string& clientName) {
    return std::make_unique<pulse::PulseMixerService>(clientName);
}

}  // namespace tolm

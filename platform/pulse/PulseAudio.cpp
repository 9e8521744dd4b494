#include "platform/pulse/PulseAudio.h"

#include "platform/pulse/PulseMixerService.h"
#include "platform/pulse/PulseWaveInService.h"

namespace tolm {

std::unique_ptr<WaveInService> CreatePulseWaveInService(const std::string& clientName) {
    return std::make_unique<pulse::PulseWaveInService>(clientName, std::make_shared<pulse::SourceChoice>());
}

std::unique_ptr<MixerService> CreatePulseMixerService(const std::string& clientName) {
    return std::make_unique<pulse::PulseMixerService>(clientName, std::make_shared<pulse::SourceChoice>());
}

PulseSoundInput CreatePulseSoundInput(const std::string& clientName) {
    auto choice = std::make_shared<pulse::SourceChoice>();
    return {std::make_unique<pulse::PulseWaveInService>(clientName, choice),
            std::make_unique<pulse::PulseMixerService>(clientName, choice)};
}

}  // namespace tolm

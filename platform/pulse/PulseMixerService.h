#pragma once

#include <string>

#include "platform/AudioMixer.h"
#include "platform/pulse/PulseConnection.h"

namespace tolm::pulse {

// One mixer while a server answers, none otherwise. Thread-safe.
class PulseMixerService final : public MixerService {
  public:
    explicit PulseMixerService(std::string clientName);

    unsigned DeviceCount() override;
    int GetCaps(unsigned mixerId, MixerCaps& caps) override;
    int Open(unsigned mixerId, MixerNotify notify, std::unique_ptr<MixerDevice>& device) override;

  private:
    const std::string clientName_;
    LazyConnection connection_;
};

}  // namespace tolm::pulse

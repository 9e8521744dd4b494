#pragma once

#include <string>

#include "platform/AudioMixer.h"
#include "platform/pulse/PulseConnection.h"
#include "platform/pulse/PulseSourceChoice.h"

namespace tolm::pulse {

// One mixer while a server answers, none otherwise; its selection is `choice`. Thread-safe.
class PulseMixerService final : public MixerService {
  public:
    PulseMixerService(std::string clientName, std::shared_ptr<SourceChoice> choice);

    unsigned DeviceCount() override;
    int GetCaps(unsigned mixerId, MixerCaps& caps) override;
    int Open(unsigned mixerId, MixerNotify notify, std::unique_ptr<MixerDevice>& device) override;

  private:
    const std::string clientName_;
    LazyConnection connection_;
    const std::shared_ptr<SourceChoice> choice_;
};

}  // namespace tolm::pulse

#pragma once

#include <memory>
#include <string>

#include "platform/WaveInput.h"
#include "platform/pulse/PulseConnection.h"
#include "platform/pulse/PulseErrors.h"
#include "platform/pulse/PulseSourceChoice.h"
#include "platform/pulse/PulseSources.h"

namespace tolm::pulse {

// The server's sources as wave input devices. Device 0 (and WAVE_MAPPER) is the source `choice` names at the
// time of the call (the recording mixer's selection); device k >= 1 is the k-th of the other sources in the
// server's index order. So devices 0 .. DeviceCount() - 1 name every source once.
//
// One connection serves the service and every device it opened; it is made on first use and made anew when
// the server went away. Thread-safe.
class PulseWaveInService final : public WaveInService {
  public:
    PulseWaveInService(std::string clientName, std::shared_ptr<const SourceChoice> choice);

    unsigned DeviceCount() override;
    int GetCaps(int deviceId, WaveInCaps& caps) override;
    int QueryFormat(int deviceId, const WaveFormatBlock& format) override;
    int Open(int deviceId, const WaveFormatBlock& format, WaveInCallback callback,
             std::unique_ptr<WaveInDevice>& device) override;
    std::string ErrorText(int code) override;

  private:
    // The live connection, or null with the reason noted.
    std::shared_ptr<PulseConnection> Connection();
    // Finds the source a device number stands for; a result code.
    int FindSource(PulseConnection& connection, int deviceId, SourceInfo& source);

    LazyConnection connection_;
    const std::shared_ptr<const SourceChoice> choice_;
    const std::shared_ptr<ProblemNote> problems_ = std::make_shared<ProblemNote>();
};

}  // namespace tolm::pulse

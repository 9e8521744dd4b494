#include "wiring/MachineServices.h"

#include "platform/AudioMixer.h"
#include "platform/AviLibrary.h"
#include "platform/ScreenSource.h"
#include "platform/VideoCompressors.h"
#include "platform/WaveInput.h"

namespace tolm {

// Windows' global keys, window lookup and overlay windows join here with their backends.
struct MachineServices::Desktop {};

MachineServices::MachineServices() = default;
MachineServices::~MachineServices() = default;

ScreenBackend MachineServices::ChosenBackend(const MachineOptions& options) {
    return ResolveScreenBackend(options.backend, SessionEnvironment::OfThisProcess());
}

// No engine runs without a screen: until Windows has a screen source of its own, nothing is opened and the
// program says so rather than recording something else.
std::unique_ptr<MachineServices> MachineServices::Open(const MachineOptions&, MainThread&, std::string& error) {
    error = "Recording the screen is not available on this system yet: there is no Windows screen source.";
    return nullptr;
}

// Windows has one desktop for the session and no display to name.
bool MachineServices::CanOpenDisplay(const std::string&, std::string&) {
    return true;
}

EngineServices MachineServices::Services(Host& host, Clock& clock, MainThread& mainThread) {
    EngineServices services{*screen_, clock, host, *compressors_, *avi_, mainThread};
    services.waveIn = waveIn_.get();
    services.mixers = mixers_.get();
    return services;
}

}  // namespace tolm

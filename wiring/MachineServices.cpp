#include "wiring/MachineServices.h"

#include "platform/AudioMixer.h"
#include "platform/AviLibrary.h"
#include "platform/ScreenSource.h"
#include "platform/VideoCompressors.h"
#include "platform/WaveInput.h"
#include "platform/ffmpeg/FfmpegVideo.h"
#include "platform/pulse/PulseAudio.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11ScreenSource.h"

namespace tolm {

MachineServices::MachineServices() = default;
MachineServices::~MachineServices() = default;

std::unique_ptr<MachineServices> MachineServices::Open(const std::string& display, MainThread& mainThread,
                                                       std::string& error) {
    auto m = std::make_unique<MachineServices>();
    m->screen_ = CreateX11ScreenSource(display, error);
    if (!m->screen_) return nullptr;
    std::string desktopError;
    m->desktop_ = X11Desktop::Create(display, mainThread, desktopError);
    if (!m->desktop_) m->warnings_.push_back("no hot keys and no window picker: " + desktopError);
    m->compressors_ = CreateFfmpegCompressorManager();
    m->avi_ = CreateFfmpegAviLibrary(*m->compressors_);
    m->waveIn_ = CreatePulseWaveInService("TOLM Screen Capture");
    m->mixers_ = CreatePulseMixerService("TOLM Screen Capture");
    m->queueServing_.ServeThrough(mainThread);
    return m;
}

bool MachineServices::CanOpenDisplay(const std::string& display, std::string& error) {
    return CreateX11ScreenSource(display, error) != nullptr;
}

EngineServices MachineServices::Services(Host& host, Clock& clock, MainThread& mainThread) {
    EngineServices services{*screen_, clock, host, *compressors_, *avi_, mainThread};
    services.waveIn = waveIn_.get();
    services.mixers = mixers_.get();
    if (X11Desktop* desktop = desktop_.get()) {
        services.hotKeys = &desktop->HotKeys();
        services.windowLocator = &desktop->Locator();
        // The desktop's own X windows: the engine's rectangles are root pixels, which a toolkit's logical
        // coordinates cannot always express once the display is scaled.
        services.createOverlayWindow = [desktop] { return desktop->CreateOverlayWindow(); };
    }
    return services;
}

}  // namespace tolm

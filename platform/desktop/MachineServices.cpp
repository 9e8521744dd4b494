#include "platform/desktop/MachineServices.h"

#include <cstdio>

#include "platform/ffmpeg/FfmpegVideo.h"
#include "platform/pulse/PulseAudio.h"
#include "platform/x11/X11ScreenSource.h"

namespace tolm {

std::unique_ptr<MachineServices> MachineServices::Open(const std::string& display, MainThread& mainThread,
                                                       const std::string& program, std::string& error) {
    auto m = std::make_unique<MachineServices>();
    m->screen_ = CreateX11ScreenSource(display, error);
    if (!m->screen_) return nullptr;
    std::string desktopError;
    m->desktop_ = X11Desktop::Create(display, mainThread, desktopError);
    if (!m->desktop_)
        std::fprintf(stderr, "%s: no hot keys and no window picker: %s\n", program.c_str(), desktopError.c_str());
    m->compressors_ = CreateFfmpegCompressorManager();
    m->avi_ = CreateFfmpegAviLibrary(*m->compressors_);
    m->waveIn_ = CreatePulseWaveInService("TOLM Screen Capture");
    m->mixers_ = CreatePulseMixerService("TOLM Screen Capture");
    m->queueServing_.ServeThrough(mainThread);
    return m;
}

void MachineServices::Complete(EngineServices& services) {
    services.waveIn = waveIn_.get();
    services.mixers = mixers_.get();
    if (desktop_) {
        services.hotKeys = &desktop_->HotKeys();
        services.windowLocator = &desktop_->Locator();
    }
}

}  // namespace tolm

#include "app/RealBackends.h"

#include <cstdio>

#include "app/AppWindows.h"
#include "app/QtOverlayWindow.h"
#include "audio/MessageQueue.h"
#include "platform/ffmpeg/FfmpegVideo.h"
#include "platform/pulse/PulseAudio.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11ScreenSource.h"

namespace tolm {

RealBackends::RealBackends() = default;

bool RealBackends::CanOpenDisplay(std::string& error) {
    std::string screenError;
    if (CreateX11ScreenSource("", screenError)) return true;
    error = "Cannot open the X display: " + screenError;
    return false;
}

std::unique_ptr<RealBackends> RealBackends::Open(std::string& error) {
    auto b = std::make_unique<RealBackends>();
    std::string screenError;
    b->screen_ = CreateX11ScreenSource("", screenError);
    if (!b->screen_) {
        error = "Cannot open the X display: " + screenError;
        return nullptr;
    }
    b->mainThread_ = std::make_unique<QtMainThread>();
    b->host_ = std::make_unique<QtHost>(*b->mainThread_);
    std::string desktopError;
    b->desktop_ = X11Desktop::Create("", *b->mainThread_, desktopError);
    if (!b->desktop_)
        std::fprintf(stderr, "tolm-capture: no hot keys and no window picker: %s\n", desktopError.c_str());
    b->compressors_ = CreateFfmpegCompressorManager();
    b->avi_ = CreateFfmpegAviLibrary(*b->compressors_);
    b->waveIn_ = CreatePulseWaveInService(kApplicationTitle);
    b->mixers_ = CreatePulseMixerService(kApplicationTitle);
    // Work queued for this thread (the mixer's change notifications, window-mode wave input) is served by
    // the Qt loop.
    QtMainThread* mainThread = b->mainThread_.get();
    MessageQueue::OfCurrentThread()->SetWakeHandler(
        [mainThread] { mainThread->Post([] { MessageQueue::OfCurrentThread()->DispatchPending(); }); });
    b->queueHooked_ = true;
    return b;
}

RealBackends::~RealBackends() {
    if (queueHooked_) MessageQueue::OfCurrentThread()->SetWakeHandler(nullptr);
}

EngineServices RealBackends::Services() {
    EngineServices services{*screen_, clock_, *host_, *compressors_, *avi_, *mainThread_};
    services.waveIn = waveIn_.get();
    services.mixers = mixers_.get();
    services.createOverlayWindow = [] { return std::unique_ptr<OverlayWindow>(std::make_unique<QtOverlayWindow>()); };
    if (desktop_) {
        services.hotKeys = &desktop_->HotKeys();
        services.windowLocator = &desktop_->Locator();
    }
    return services;
}

}  // namespace tolm

#include "cli/Backends.h"

#include <cstdio>

#include "audio/MessageQueue.h"
#include "platform/ffmpeg/FfmpegVideo.h"
#include "platform/pulse/PulseAudio.h"
#include "platform/x11/X11ScreenSource.h"

namespace tolm::cli {

std::unique_ptr<Session> Session::Open(const Options& options, std::string& error) {
    auto s = std::make_unique<Session>();
    s->screen_ = CreateX11ScreenSource(options.display, error);
    if (!s->screen_) return nullptr;
    std::string desktopError;
    s->desktop_ = X11Desktop::Create(options.display, s->loop_, desktopError);
    if (!s->desktop_)
        std::fprintf(stderr, "tolm-record: no hot keys and no area frame: %s\n", desktopError.c_str());
    s->host_ = std::make_unique<ConsoleHost>(options.answerYes);
    s->compressors_ = CreateFfmpegCompressorManager();
    s->avi_ = CreateFfmpegAviLibrary(*s->compressors_);
    s->waveIn_ = CreatePulseWaveInService("TOLM Screen Capture");
    s->mixers_ = CreatePulseMixerService("TOLM Screen Capture");
    // Mixer notifications for this thread are served by its event loop.
    EventLoop* loop = &s->loop_;
    MessageQueue::OfCurrentThread()->SetWakeHandler(
        [loop] { loop->Post([] { MessageQueue::OfCurrentThread()->DispatchPending(); }); });
    EngineServices services{*s->screen_, s->clock_, *s->host_, *s->compressors_, *s->avi_, s->loop_};
    services.waveIn = s->waveIn_.get();
    services.mixers = s->mixers_.get();
    if (s->desktop_) {
        services.hotKeys = &s->desktop_->HotKeys();
        services.windowLocator = &s->desktop_->Locator();
        X11Desktop* desktop = s->desktop_.get();
        services.createOverlayWindow = [desktop] { return desktop->CreateOverlayWindow(); };
    }
    s->camera_ = std::make_unique<TScreenCamera>(services);
    if (options.monitor > s->camera_->MonitorCount()) {
        error = "There is no monitor " + std::to_string(options.monitor) + "; this display has " +
                std::to_string(s->camera_->MonitorCount()) + ".";
        return nullptr;
    }
    ApplyToCamera(options, *s->camera_);
    return s;
}

std::unique_ptr<Session> Session::OpenOrReport(const Options& options) {
    std::string error;
    std::unique_ptr<Session> session = Open(options, error);
    if (!session) std::fprintf(stderr, "tolm-record: %s\n", error.c_str());
    return session;
}

Session::~Session() {
    camera_.reset();
    MessageQueue::OfCurrentThread()->SetWakeHandler(nullptr);
}

bool Session::SelectCompressor(const std::string& fourcc) {
    const std::uint32_t handler = MakeFourCC(fourcc[0], fourcc[1], fourcc[2], fourcc[3]);
    auto find = [&] {
        for (int i = 0; i < camera_->CompressorCount(); ++i)
            if (camera_->CompressorInfos(i).fccHandler == handler) return i;
        return -1;
    };
    camera_->GetVideoCodecList();
    int index = find();
    if (index < 0) {
        // Compressors that need sizes in multiples of 2, 4 or 8 are listed for such a size; the recording's
        // start then adjusts the area itself.
        const Rect area = camera_->ScreenArea().Bounds();
        camera_->ScreenArea().SetBounds(Rect{area.left, area.top, (area.width + 15) / 16 * 16, (area.height + 15) / 16 * 16});
        camera_->GetVideoCodecList();
        camera_->ScreenArea().SetBounds(area);
        index = find();
    }
    camera_->SetSelectedCompressor(index);
    return index >= 0;
}

}  // namespace tolm::cli

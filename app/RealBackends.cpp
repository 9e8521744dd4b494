#include "app/RealBackends.h"

#include <cstdio>

#include "app/AppWindows.h"
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
    b->mainThread_ = std::make_unique<QtMainThread>();
    std::string machineError;
    b->machine_ = MachineServices::Open("", *b->mainThread_, "tolm-capture", machineError);
    if (!b->machine_) {
        error = "Cannot open the X display: " + machineError;
        return nullptr;
    }
    b->host_ = std::make_unique<QtHost>(*b->mainThread_);
    return b;
}

RealBackends::~RealBackends() = default;

EngineServices RealBackends::Services() {
    MachineServices& m = *machine_;
    EngineServices services{m.Screen(), clock_, *host_, m.Compressors(), m.Avi(), *mainThread_};
    m.Complete(services);
    // The desktop's own X windows: the engine's rectangles are root pixels, which Qt's logical coordinates
    // cannot always express once the display is scaled.
    if (X11Desktop* desktop = m.Desktop())
        services.createOverlayWindow = [desktop] { return desktop->CreateOverlayWindow(); };
    return services;
}

}  // namespace tolm

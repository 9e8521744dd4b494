#include "wiring/MachineServices.h"

#include "platform/AudioMixer.h"
#include "platform/AviLibrary.h"
#include "platform/ScreenSource.h"
#include "platform/VideoCompressors.h"
#include "platform/WaveInput.h"
#include "platform/ffmpeg/FfmpegVideo.h"
#include "platform/portal/PortalScreenSource.h"
#include "platform/pulse/PulseAudio.h"
#include "platform/x11/SigPipeGuard.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11ScreenSource.h"
#include "platform/x11/XcbConnect.h"

namespace tolm {

namespace {

// What a Wayland desktop does not let a program do, said once at the start rather than found out.
void AddWaylandLimits(std::vector<std::string>& warnings) {
    warnings.push_back(
        "Wayland: no global hot keys: Shift+Esc, Esc, Ctrl+Enter and Pause do not reach the recorder; stop, "
        "cancel and pause it from the program itself.");
    warnings.push_back(
        "Wayland: no blinking frame round the area (the desktop does not let a program draw over "
        "others).");
    warnings.push_back(
        "Wayland: the desktop's own chooser picks the screen to record; picking a window with the "
        "mouse is not available.");
}

bool OpenScreen(const MachineOptions& options, ScreenBackend backend, std::unique_ptr<ScreenSource>& screen,
                std::vector<std::string>& notices, std::string& error) {
    if (backend == ScreenBackend::x11) {
        screen = CreateX11ScreenSource(options.display, error);
        return screen != nullptr;
    }
    PortalOptions portal;
    portal.cursor = options.cursor;
    std::string why;
    const auto open = [&] { screen = CreatePortalScreenSource(portal, why, notices); };
    if (options.runWhileServing)
        options.runWhileServing(open);
    else
        open();
    if (!screen) error = "Cannot record this Wayland desktop through its ScreenCast portal: " + why;
    return screen != nullptr;
}

}  // namespace

struct MachineServices::Desktop {
    std::unique_ptr<X11Desktop> x11;
};

MachineServices::MachineServices() = default;
MachineServices::~MachineServices() = default;

ScreenBackend MachineServices::ChosenBackend(const MachineOptions& options) {
    // A display named outright is an X display, whatever session the program runs in.
    if (options.backend == ScreenBackend::automatic && !options.display.empty()) return ScreenBackend::x11;
    return ResolveScreenBackend(options.backend, SessionEnvironment::OfThisProcess());
}

std::unique_ptr<MachineServices> MachineServices::Open(const MachineOptions& options, MainThread& mainThread,
                                                       std::string& error) {
    auto m = std::make_unique<MachineServices>();
    m->backend_ = ChosenBackend(options);
    if (!OpenScreen(options, m->backend_, m->screen_, m->warnings_, error)) return nullptr;
    if (m->backend_ == ScreenBackend::x11) {
        std::string desktopError;
        if (std::unique_ptr<X11Desktop> x11 = X11Desktop::Create(options.display, mainThread, desktopError))
            m->desktop_ = std::make_unique<Desktop>(Desktop{std::move(x11)});
        else
            m->warnings_.push_back("no hot keys and no window picker: " + desktopError);
    } else {
        // Xwayland's keys and windows would reach only Xwayland's programs: none rather than half.
        AddWaylandLimits(m->warnings_);
    }
    m->compressors_ = CreateFfmpegCompressorManager();
    m->avi_ = CreateFfmpegAviLibrary(*m->compressors_);
    PulseSoundInput sound = CreatePulseSoundInput("TOLM Screen Capture");
    m->waveIn_ = std::move(sound.waveIn);
    m->mixers_ = std::move(sound.mixers);
    m->queueServing_.ServeThrough(mainThread);
    return m;
}

bool MachineServices::CanOpenDisplay(const std::string& display, std::string& error) {
    // Only the connection: a display whose screen cannot be recorded is refused later, where a window says why.
    const x11::SigPipeGuard pipeGuard;
    return x11::ConnectToDisplay(display, error).connection != nullptr;
}

EngineServices MachineServices::Services(Host& host, Clock& clock, MainThread& mainThread) {
    EngineServices services{*screen_, clock, host, *compressors_, *avi_, mainThread};
    services.waveIn = waveIn_.get();
    services.mixers = mixers_.get();
    if (X11Desktop* desktop = desktop_ ? desktop_->x11.get() : nullptr) {
        services.hotKeys = &desktop->HotKeys();
        services.windowLocator = &desktop->Locator();
        // The desktop's own X windows: the engine's rectangles are root pixels, which a toolkit's logical
        // coordinates cannot always express once the display is scaled.
        services.createOverlayWindow = [desktop] { return desktop->CreateOverlayWindow(); };
    }
    return services;
}

}  // namespace tolm

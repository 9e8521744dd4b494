#include "app/DesktopAbilities.h"

#include "capture/EngineServices.h"
#include "platform/ScreenSource.h"

namespace tolm {
namespace {

constexpr int kRegionFromWindows = 0;
constexpr int kRegionMovingByMouse = 2;
constexpr int kRegionFullScreen = 4;

}  // namespace

DesktopAbilities DesktopAbilities::Of(const EngineServices& services) {
    DesktopAbilities d;
    d.keys = services.hotKeys != nullptr;
    d.windowPicker = services.windowLocator != nullptr && static_cast<bool>(services.createOverlayWindow);
    d.pointerPosition = services.screen.TellsPointerPosition();
    return d;
}

std::string RegionUnavailableHint(int index, const DesktopAbilities& desktop) {
    if (index == kRegionFromWindows && !desktop.windowPicker)
        return "Not on this desktop: it lets no program pick a window with the mouse.";
    if (index == kRegionMovingByMouse && !desktop.pointerPosition)
        return "Not on this desktop: it does not tell where the pointer is.";
    return {};
}

int FirstRegionIndex(const DesktopAbilities& desktop) {
    return desktop.pointerPosition ? kRegionMovingByMouse : kRegionFullScreen;
}

std::string RecordingStateLine(bool paused, const DesktopAbilities& desktop, bool trayShown) {
    if (desktop.keys)
        return paused ? "Paused... (Press pause key to resume)"
                      : "Recording... (Cancel=Esc)--(Stop=Shift+Esc)--(Pause=Pause Key)";
    if (paused)
        return trayShown ? "Paused... (Resume: the Pause button above or the tray icon's menu)"
                         : "Paused... (Resume: the Pause button above)";
    return trayShown ? "Recording... (Stop and Pause: the buttons above; Cancel: the tray icon's menu)"
                     : "Recording... (Stop and Pause: the buttons above)";
}

std::string PreviewStateLine(const DesktopAbilities& desktop) {
    return desktop.keys ? "Preview... (Cancel=Esc)" : "Preview... (End: the eye button above)";
}

}  // namespace tolm

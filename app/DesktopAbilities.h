#pragma once

#include <string>

namespace tolm {

struct EngineServices;

// What the desktop lets the recorder do, as its services tell; the window words its choices and its state line
// after it. No toolkit.
struct DesktopAbilities {
    bool keys = true;             // the recorder's keys (Esc, Shift+Esc, Pause) reach it from any window
    bool windowPicker = true;     // a window can be picked with the mouse
    bool pointerPosition = true;  // where the pointer is can be known, so an area can follow it

    static DesktopAbilities Of(const EngineServices& services);
};

// Why the region list's item `index` (in the list's order) cannot work on this desktop; "" where it can.
std::string RegionUnavailableHint(int index, const DesktopAbilities& desktop);
// The region at the first start: the one that moves with the mouse, or the full screen where it cannot.
int FirstRegionIndex(const DesktopAbilities& desktop);

// The state line over the preview. Where the keys reach the recorder it names them; elsewhere the buttons that do
// the same, those of the tray icon's menu among them where the icon shows.
std::string RecordingStateLine(bool paused, const DesktopAbilities& desktop, bool trayShown);
std::string PreviewStateLine(const DesktopAbilities& desktop);

}  // namespace tolm

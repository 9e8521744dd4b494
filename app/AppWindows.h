#pragma once

namespace tolm {

class TfrmMain;
class TfrmOption;
class TfrmFilterEffects;

// The front end's three long-lived windows, created once at start-up and reused; the main window opens the
// dialogs through these. Null until created (tests create only what they need).
struct TAppWindows {
    TfrmMain* main = nullptr;
    TfrmOption* option = nullptr;
    TfrmFilterEffects* filterEffects = nullptr;
};

TAppWindows& AppWindows();

// The application title: caption of the main window and the about box.
inline constexpr const char* kApplicationTitle = "TOLM Screen Capture";

}  // namespace tolm

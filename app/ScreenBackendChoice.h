#pragma once

#include <string>

#include "platform/ScreenBackend.h"

namespace tolm {

// The screen source the user chose in the options, kept for the next start (the screen is opened once, before
// the window shows): one word in $XDG_CONFIG_HOME/tolm-screen-capture/screen-backend, else ~/.config/...
std::string ScreenBackendChoiceFile();

// The kept choice; automatic when none was kept or the file holds no valid word.
ScreenBackend LoadScreenBackendChoice();

// Replaces the kept choice; false with `error` saying why it could not be kept.
bool SaveScreenBackendChoice(ScreenBackend backend, std::string& error);

// The backend named by a "--backend NAME" in the program's arguments, else the kept choice. False with `error`
// for a name that is not one of auto, x11 and portal.
bool ScreenBackendOfArguments(int argc, char** argv, ScreenBackend& backend, std::string& error);

}  // namespace tolm

#pragma once

#include <string>

#include "app/WindowChoices.h"

namespace tolm {

// Where the window's choices are kept while "Remember my settings" is on: window-settings in
// $XDG_CONFIG_HOME/tolm-screen-capture (else ~/.config/...), beside the kept screen source. The file exists only
// while remembering is on. Empty without a home folder.
std::string WindowChoicesFile();

enum class KeptChoices {
    none,      // nothing kept: remembering is off
    loaded,    // `choices` holds them
    setAside,  // the file could not be read; it was renamed aside and `notice` says so to the user
};

// The kept choices. A file that cannot be read or is no settings text is renamed to "<file>.damaged" (replacing
// an older one), so that the next start does not stumble over it again and the user can still look at it.
KeptChoices LoadWindowChoices(WindowChoices& choices, std::string& notice);

// Keeps `choices`, replacing what was kept in one step; false with `error` saying why they could not be kept.
bool SaveWindowChoices(const WindowChoices& choices, std::string& error);

// Forgets the kept choices; false with `error` when the file is there and cannot be removed.
bool ForgetWindowChoices(std::string& error);

}  // namespace tolm

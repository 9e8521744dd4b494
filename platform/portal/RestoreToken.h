#pragma once

#include <string>

namespace tolm::portal {

// Where the desktop's restore token is kept when the options name no file: $XDG_STATE_HOME, else
// ~/.local/state, then tolm-screen-capture/portal-restore-token. Empty without a home folder.
std::string DefaultRestoreTokenFile();

// The token kept in `file`; empty when there is none or it does not look like one.
std::string ReadRestoreToken(const std::string& file);

// Replaces the file's token in one step (a reader sees the old token or the new one, never a part), readable
// by its owner only; missing folders are made private to the user. False with `problem` set on failure.
bool WriteRestoreToken(const std::string& file, const std::string& token, std::string& problem);

}  // namespace tolm::portal

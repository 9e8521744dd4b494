#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ScreenSource.h"

namespace tolm {

struct PortalOptions {
    // Whether the recording shows the pointer. Where the desktop hands the pointer over as metadata it is
    // drawn by our own cursor code whatever this says; where it can only paint it into the picture, this
    // decides whether it asks for that.
    bool cursor = true;
    // Where the desktop's answer is kept so it asks once, not at every start; empty: the user's state
    // folder ($XDG_STATE_HOME, else ~/.local/state)/tolm-screen-capture/portal-restore-token.
    std::string restoreTokenFile;
};

// Whether a ScreenCast portal answers on the session bus; `why` says what is missing when not.
bool PortalAvailable(std::string& why);

// Asks the desktop's ScreenCast portal for a monitor (or a window, where the desktop offers it) and reads it
// through PipeWire. Null with `error` set when the desktop refuses or has no portal. Lines the user should
// read once (what this desktop cannot give) are appended to `notices`. Blocks while the desktop asks the user
// (its chooser gets up to two minutes), so a window program calls it from a worker and keeps serving its events.
std::unique_ptr<ScreenSource> CreatePortalScreenSource(const PortalOptions& options, std::string& error,
                                                       std::vector<std::string>& notices);

}  // namespace tolm

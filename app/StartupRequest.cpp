#include "app/StartupRequest.h"

#include <cstring>

namespace tolm {

StartupRequest StartupRequestOf(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) return StartupRequest::help;
        if (std::strcmp(argv[i], "--version") == 0) return StartupRequest::version;
    }
    return StartupRequest::window;
}

const char* CaptureUsageText() {
    return "Usage: tolm-capture [--backend auto|x11|portal]   the recorder's window\n"
           "       tolm-capture --help | --version\n"
           "  --backend auto|x11|portal  where the screen is read: the X server, or the desktop's ScreenCast\n"
           "                             portal (Wayland); auto (the default, or the screen source chosen in\n"
           "                             the options) takes the portal in a Wayland session\n"
           "  --help                     print this and exit\n"
           "  --version                  print the version and the licence, and exit\n"
           "tolm-record(1) is the same recorder without a window, for scripts.\n";
}

}  // namespace tolm

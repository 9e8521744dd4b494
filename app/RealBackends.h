#pragma once

#include <memory>
#include <string>

#include "app/QtHost.h"
#include "app/QtMainThread.h"
#include "capture/ScreenCamera.h"
#include "platform/Clock.h"
#include "wiring/MachineServices.h"

namespace tolm {

// The real services of this machine for the windowed program: the X screen, the desktop's keys, window lookup
// and overlay windows (the area frame, the object picker), FFmpeg's compressors and AVI files, the sound
// server's inputs and mixer, the Qt host and main thread, and a steady clock. Created and destroyed on the main
// thread after the QApplication; everything using Services() must be gone before it.
class RealBackends {
  public:
    // Null with `error` set when the display cannot be opened.
    static std::unique_ptr<RealBackends> Open(std::string& error);
    // Whether $DISPLAY can be opened; callable before the QApplication, which would abort the process instead.
    static bool CanOpenDisplay(std::string& error);

    RealBackends();
    ~RealBackends();
    RealBackends(const RealBackends&) = delete;
    RealBackends& operator=(const RealBackends&) = delete;

    EngineServices Services();
    QtHost& Host() { return *host_; }
    QtMainThread& MainThreadOfApp() { return *mainThread_; }

  private:
    SteadyClock clock_;
    std::unique_ptr<QtMainThread> mainThread_;
    std::unique_ptr<QtHost> host_;
    std::unique_ptr<MachineServices> machine_;
};

}  // namespace tolm

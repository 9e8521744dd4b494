#pragma once

#include <memory>
#include <string>
#include <vector>

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
    // Null with `error` set when the screen cannot be read.
    static std::unique_ptr<RealBackends> Open(ScreenBackend backend, std::string& error);
    // Whether $DISPLAY can be opened; callable before the QApplication, which would abort the process instead.
    static bool CanOpenDisplay(std::string& error);
    // What the machine lacks but the program tolerates, for the user to read once.
    const std::vector<std::string>& Warnings() const { return machine_->Warnings(); }
    ScreenBackend Backend() const { return machine_->Backend(); }

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

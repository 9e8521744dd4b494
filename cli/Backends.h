#pragma once

#include <memory>
#include <string>

#include "capture/ScreenCamera.h"
#include "cli/CommandLine.h"
#include "cli/ConsoleHost.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "wiring/MachineServices.h"

namespace tolm::cli {

// The real services of this machine and an engine over them, with the command line applied.
class Session {
  public:
    // Null with `error` set when the display cannot be used.
    static std::unique_ptr<Session> Open(const Options& options, std::string& error);
    // The same, telling the user why there is none.
    static std::unique_ptr<Session> OpenOrReport(const Options& options);

    TScreenCamera& Camera() { return *camera_; }
    EventLoop& Loop() { return loop_; }
    bool HasDesktop() const { return machine_->HasDesktop(); }
    ScreenBackend Backend() const { return machine_->Backend(); }

    // Selects the compressor with this four-character code; false when this machine has none that takes the
    // area's frames, even after the engine's size adjustment.
    bool SelectCompressor(const std::string& fourcc);

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

  private:
    EventLoop loop_;
    SteadyClock clock_;
    std::unique_ptr<ConsoleHost> host_;
    std::unique_ptr<MachineServices> machine_;
    std::unique_ptr<TScreenCamera> camera_;
};

}  // namespace tolm::cli

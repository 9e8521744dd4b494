#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/MessageQueue.h"
#include "capture/EngineServices.h"
#include "platform/ScreenBackend.h"

namespace tolm {

// How a program asks for the machine's services.
struct MachineOptions {
    std::string display;  // the X display; empty: $DISPLAY
    ScreenBackend backend = ScreenBackend::automatic;
    bool cursor = true;  // whether recordings show the pointer, for a desktop that paints it in itself
    // Runs work that may wait for the user (the desktop's screen chooser) while the program serves its own events;
    // empty: the work runs in place.
    std::function<void(const std::function<void()>& work)> runWhileServing;
};

// The real services of this machine that both programs use: the screen (the X server's, or the desktop's
// ScreenCast portal on Wayland), the X desktop's keys, window lookup and overlay windows, FFmpeg's compressors and AVI
// files, and the sound server's inputs and mixer. The program adds its own host, clock and main thread. Created and
// destroyed on the main thread.
class MachineServices {
  public:
    // Null with `error` set when the display cannot be used. What the machine lacks but tolerates (a desktop
    // without global keys) is left in Warnings() for the program to tell.
    static std::unique_ptr<MachineServices> Open(const MachineOptions& options, MainThread& mainThread,
                                                 std::string& error);
    // Whether the X display `display` ("" for $DISPLAY) can be opened, without opening anything else.
    static bool CanOpenDisplay(const std::string& display, std::string& error);

    // The backend Open chose for `options` in this process's session.
    static ScreenBackend ChosenBackend(const MachineOptions& options);

    const std::vector<std::string>& Warnings() const { return warnings_; }
    // Whether the desktop's global keys, window lookup and overlay windows are there.
    bool HasDesktop() const { return desktop_ != nullptr; }
    ScreenBackend Backend() const { return backend_; }

    // The engine's services over this machine with the program's own host, clock and main thread.
    EngineServices Services(Host& host, Clock& clock, MainThread& mainThread);

    MachineServices();
    ~MachineServices();
    MachineServices(const MachineServices&) = delete;
    MachineServices& operator=(const MachineServices&) = delete;

  private:
    // The desktop's global keys, window lookup and overlay windows, of the system's own kind.
    struct Desktop;

    std::unique_ptr<ScreenSource> screen_;
    std::unique_ptr<Desktop> desktop_;
    std::unique_ptr<CompressorManager> compressors_;
    std::unique_ptr<AviLibrary> avi_;
    std::unique_ptr<WaveInService> waveIn_;
    std::unique_ptr<MixerService> mixers_;
    std::vector<std::string> warnings_;
    ScreenBackend backend_ = ScreenBackend::x11;
    // Work queued for the main thread's message queue (the mixer's change notifications) runs on its loop.
    ScopedQueueServing queueServing_;
};

}  // namespace tolm

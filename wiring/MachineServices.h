#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/MessageQueue.h"
#include "capture/EngineServices.h"

namespace tolm {

class X11Desktop;

// The real services of this machine that both programs use: the X screen, the desktop's keys, window lookup and
// overlay windows, FFmpeg's compressors and AVI files, and the sound server's inputs and mixer. The program adds
// its own host, clock and main thread. Created and destroyed on the main thread.
class MachineServices {
  public:
    // Null with `error` set when the display cannot be used. What the machine lacks but tolerates (a desktop
    // without global keys) is left in Warnings() for the program to tell.
    static std::unique_ptr<MachineServices> Open(const std::string& display, MainThread& mainThread,
                                                 std::string& error);
    // Whether `display` ("" for $DISPLAY) can be opened, without opening anything else.
    static bool CanOpenDisplay(const std::string& display, std::string& error);

    const std::vector<std::string>& Warnings() const { return warnings_; }
    // Whether the desktop's global keys, window lookup and overlay windows are there.
    bool HasDesktop() const { return desktop_ != nullptr; }

    // The engine's services over this machine with the program's own host, clock and main thread.
    EngineServices Services(Host& host, Clock& clock, MainThread& mainThread);

    MachineServices();
    ~MachineServices();
    MachineServices(const MachineServices&) = delete;
    MachineServices& operator=(const MachineServices&) = delete;

  private:
    std::unique_ptr<ScreenSource> screen_;
    std::unique_ptr<X11Desktop> desktop_;
    std::unique_ptr<CompressorManager> compressors_;
    std::unique_ptr<AviLibrary> avi_;
    std::unique_ptr<WaveInService> waveIn_;
    std::unique_ptr<MixerService> mixers_;
    std::vector<std::string> warnings_;
    // Work queued for the main thread's message queue (the mixer's change notifications) runs on its loop.
    ScopedQueueServing queueServing_;
};

}  // namespace tolm

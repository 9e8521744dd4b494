#pragma once

#include <memory>
#include <string>

#include "audio/MessageQueue.h"
#include "capture/ScreenCamera.h"
#include "platform/x11/X11Desktop.h"

namespace tolm {

// The real services of this machine that both programs use: the X screen, the desktop's keys and window lookup,
// FFmpeg's compressors and AVI files, and the sound server's inputs and mixer. The program adds its own host,
// clock, main thread and area-frame windows. Created and destroyed on the main thread.
class MachineServices {
  public:
    // Null with `error` set when the display cannot be used. A desktop without global keys is told on standard
    // error, prefixed with `program`, and tolerated.
    static std::unique_ptr<MachineServices> Open(const std::string& display, MainThread& mainThread,
                                                 const std::string& program, std::string& error);

    ScreenSource& Screen() { return *screen_; }
    CompressorManager& Compressors() { return *compressors_; }
    AviLibrary& Avi() { return *avi_; }
    X11Desktop* Desktop() { return desktop_.get(); }
    // Sets the sound services, the global keys and the window locator of `services`.
    void Complete(EngineServices& services);

    MachineServices() = default;
    MachineServices(const MachineServices&) = delete;
    MachineServices& operator=(const MachineServices&) = delete;

  private:
    std::unique_ptr<ScreenSource> screen_;
    std::unique_ptr<X11Desktop> desktop_;
    std::unique_ptr<CompressorManager> compressors_;
    std::unique_ptr<AviLibrary> avi_;
    std::unique_ptr<WaveInService> waveIn_;
    std::unique_ptr<MixerService> mixers_;
    // Work queued for the main thread's message queue (the mixer's change notifications) runs on its loop.
    ScopedQueueServing queueServing_;
};

}  // namespace tolm

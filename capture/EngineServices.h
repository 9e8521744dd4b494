#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/OverlayWindow.h"

namespace tolm {

class AviLibrary;
class Clock;
class CompressorManager;
class GlobalHotKeys;
class Host;
class MainThread;
class MixerService;
class ScreenSource;
class WaveInService;
class WindowLocator;

// The platform services the engine works through. They must outlive the engine.
struct EngineServices {
    ScreenSource& screen;
    Clock& clock;
    Host& host;
    CompressorManager& compressors;
    AviLibrary& avi;
    MainThread& mainThread;
    // What a desktop without these lacks: no global keys, no frame window, no object picker.
    GlobalHotKeys* hotKeys = nullptr;
    std::function<std::unique_ptr<OverlayWindow>()> createOverlayWindow;
    WindowLocator* windowLocator = nullptr;
    // Without these the machine has no sound: no inputs, no mixer, and a recording with sound fails to start.
    WaveInService* waveIn = nullptr;
    MixerService* mixers = nullptr;
    // The free space of a folder's file system; empty: the system is asked (FreeDiskBytes).
    std::function<std::optional<std::uint64_t>(const std::string& folder)> freeDiskBytes;
};

}  // namespace tolm

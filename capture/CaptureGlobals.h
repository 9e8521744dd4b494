#pragma once

#include <atomic>
#include <cstdint>

namespace tolm {

class TScreenCamera;

enum class TStopReason : std::uint8_t { None = 0, StopAndSave = 1, Cancel = 2 };

// The engine's process-wide state. There is one engine per process; these values outlive a recording
// (the last stop request decides whether the next ended recording is saved) and are shared by the user
// interface thread and the recording worker without a lock, hence atomics.
struct CaptureGlobals {
    std::atomic<TScreenCamera*> ActiveCamera{nullptr};
    std::atomic<TStopReason> StopReason{TStopReason::None};
    std::atomic<bool> StartPending{false};
};

CaptureGlobals& Globals();

// Back to the state at program start; for tests.
void ResetCaptureGlobals();

}  // namespace tolm

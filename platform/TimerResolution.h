#pragma once

namespace tolm {

// The system's timers at their finest while one of these lives: waits and sleeps end within a millisecond of
// their time. Windows otherwise ends them on its 15.6 ms tick, too coarse for a frame every 16 or 33 ms; other
// systems are that fine already.
class FineTimerResolution {
  public:
    FineTimerResolution();
    ~FineTimerResolution();
    FineTimerResolution(const FineTimerResolution&) = delete;
    FineTimerResolution& operator=(const FineTimerResolution&) = delete;
};

}  // namespace tolm

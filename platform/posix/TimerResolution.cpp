#include "platform/TimerResolution.h"

namespace tolm {

// The timers of POSIX systems wake within their slack (50 us by default on Linux) without being asked.
FineTimerResolution::FineTimerResolution() = default;
FineTimerResolution::~FineTimerResolution() = default;

}  // namespace tolm

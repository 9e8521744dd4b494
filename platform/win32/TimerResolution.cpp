#include "platform/TimerResolution.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <timeapi.h>

namespace tolm {

// Asked of the whole system, so given back as soon as it is not needed. An end without a begin that took is
// refused by the system and changes nothing.
FineTimerResolution::FineTimerResolution() {
    ::timeBeginPeriod(1);
}

FineTimerResolution::~FineTimerResolution() {
    ::timeEndPeriod(1);
}

}  // namespace tolm

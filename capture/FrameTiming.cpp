#include "capture/FrameTiming.h"

#include <cmath>

namespace tolm {

bool PlaysInRealTime(int recordMspf, int playbackFps) {
    return playbackFps >= 1 && std::abs(recordMspf - 1000.0 / playbackFps) < 1.0;
}

double TimelineIntervalMs(int recordMspf, int playbackFps) {
    return PlaysInRealTime(recordMspf, playbackFps) ? 1000.0 / playbackFps : recordMspf;
}

}  // namespace tolm

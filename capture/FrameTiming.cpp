#include "capture/FrameTiming.h"

#include <cmath>
#include <cstdio>

namespace tolm {

bool PlaysInRealTime(int recordMspf, int playbackFps) {
    return playbackFps >= 1 && std::abs(recordMspf - 1000.0 / playbackFps) < 1.0;
}

double TimelineIntervalMs(int recordMspf, int playbackFps) {
    return PlaysInRealTime(recordMspf, playbackFps) ? 1000.0 / playbackFps : recordMspf;
}

std::string SoundSpeedWarning(int recordMspf, int playbackFps) {
    if (PlaysInRealTime(recordMspf, playbackFps) || playbackFps < 1) return {};
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.3g", recordMspf * playbackFps / 1000.0);
    return "A frame is taken every " + std::to_string(recordMspf) + " ms and played at " + std::to_string(playbackFps) +
           " frames a second, " + speed +
           " times as fast as it happened; the sound keeps its own speed and cannot follow the picture.";
}

}  // namespace tolm

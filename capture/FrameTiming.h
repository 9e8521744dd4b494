#pragma once

#include <string>

namespace tolm {

// Whether frames taken every `recordMspf` ms and played at `playbackFps` play as fast as they happened: the
// record interval is the playback interval to the whole millisecond (1000 div fps, as the automatic mode of the
// frame timing sets it, or rounded).
bool PlaysInRealTime(int recordMspf, int playbackFps);

// The timeline's interval between two frame positions. In real time it is the playback interval itself, a
// fraction of a millisecond where 1000 / fps is one, so the picture plays exactly as long as it was recorded
// and the sound, held to the same timeline, stays with it; otherwise the record interval.
double TimelineIntervalMs(int recordMspf, int playbackFps);

// For a recording with sound: why its sound cannot follow a picture that plays faster or slower than it
// happened (a time-lapse); empty in real time.
std::string SoundSpeedWarning(int recordMspf, int playbackFps);

}  // namespace tolm

#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>

#include "capture/CompressorTexts.h"

namespace tolm {

// What a recording or a preview tells about itself while it runs: written by the recording worker and the area
// timer, read by the user interface. The numbers are atomics of their own; the texts share a lock.
class RecordingStatistics {
  public:
    std::atomic<int> capturedFrames{0};
    std::atomic<int> droppedFrames{0};
    std::atomic<int> frameIndex{0};
    std::atomic<double> currentFps{0};
    std::atomic<double> realFps{0};
    std::atomic<std::int64_t> freeDiskMb{-1};
    std::atomic<std::int64_t> secondsLeft{-1};
    std::atomic<double> audioClockPpm{std::numeric_limits<double>::quiet_NaN()};

    // "h : m : s : ms" of the time recorded (or previewed) so far.
    void SetElapsedTimeText(const std::string& text);
    std::string ElapsedTimeText() const;
    std::string VideoCodecName() const;
    void SetVideoCodecName(const std::string& name);
    std::string LastGrabError() const;
    void SetLastGrabError(const std::string& error);

  private:
    mutable std::mutex mutex_;
    std::string elapsedTimeText_;
    std::string videoCodecName_ = kDefaultCompressorName;
    std::string lastGrabError_;
};

}  // namespace tolm

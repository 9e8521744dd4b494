#pragma once

#include <algorithm>
#include <mutex>

#include "audio/SoundAlignment.h"

namespace tolm {

// The recording's time with its pauses left out. The capture loop places frames by it and the sound recorder
// holds the sound to it, so both read the same clock readings the same way.
class TRecordingTimeline {
  public:
    void Start(double nowMs) {
        std::lock_guard lock(mutex_);
        startMs_ = nowMs;
        pausedMs_ = 0;
        pictureLag_ = 0;
        frames_ = 0;
        pictureEndMs_ = 0;
        started_ = true;
        paused_ = false;
    }
    void Pause(double nowMs) {
        std::lock_guard lock(mutex_);
        if (!started_ || paused_) return;
        paused_ = true;
        pausedAt_ = nowMs;
    }
    void Resume(double nowMs) {
        std::lock_guard lock(mutex_);
        if (!paused_) return;
        paused_ = false;
        pausedMs_ += nowMs - pausedAt_;
        ++segment_;
    }
    // A frame seen at `seenMs` whose picture was taken at `takenMs` (both on this timeline).
    void NoteFrame(double seenMs, double takenMs) {
        std::lock_guard lock(mutex_);
        const double lag = seenMs - takenMs;
        // A slow average: the pace of the grabs changes it, single frames do not.
        pictureLag_ = frames_ == 0 ? lag : pictureLag_ + (lag - pictureLag_) / (frames_ < 256 ? frames_ + 1 : 256);
        ++frames_;
    }
    // A frame went into the file; it is shown until `endMs`. Only a started timeline places frames.
    void NoteFrameEnd(double endMs) {
        std::lock_guard lock(mutex_);
        if (started_) pictureEndMs_ = std::max(pictureEndMs_, endMs);
    }
    // The clock reading at which the running timeline reaches `ms`.
    double ClockAt(double ms) const {
        std::lock_guard lock(mutex_);
        return startMs_ + pausedMs_ + ms;
    }
    TimelinePoint At(double nowMs) const {
        std::lock_guard lock(mutex_);
        TimelinePoint point;
        point.pictureLagMs = pictureLag_;
        point.running = started_ && !paused_;
        point.segment = segment_;
        point.pictureEndMs = pictureEndMs_;
        if (started_) point.ms = (paused_ ? pausedAt_ : nowMs) - startMs_ - pausedMs_;
        return point;
    }

  private:
    mutable std::mutex mutex_;
    bool started_ = false;
    bool paused_ = false;
    double startMs_ = 0;
    double pausedMs_ = 0;
    double pausedAt_ = 0;
    unsigned segment_ = 0;
    double pictureLag_ = 0;
    unsigned frames_ = 0;
    double pictureEndMs_ = 0;
};

}  // namespace tolm

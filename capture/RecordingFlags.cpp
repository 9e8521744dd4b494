#include "capture/RecordingFlags.h"

namespace tolm {

void RecordingFlags::SetRecording(bool value) {
    {
        std::lock_guard lock(mutex_);
        recording_ = value;
    }
    changed_.notify_all();
    if (!value) writingStream_.StopWaits();
}

void RecordingFlags::SetPaused(bool value) {
    {
        std::lock_guard lock(mutex_);
        paused_ = value;
    }
    changed_.notify_all();
}

void RecordingFlags::WaitWhilePaused() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !recording_ || !paused_; });
}

bool RecordingFlags::WaitUntil(const Clock& clock, double dueMs) {
    if (clock.NowMs() >= dueMs) return true;
    std::unique_lock lock(mutex_);
    return !clock.WaitUntil(changed_, lock, dueMs, [this] { return !recording_ || paused_; });
}

}  // namespace tolm

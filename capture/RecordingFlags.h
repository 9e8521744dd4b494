#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "capture/WritingStream.h"
#include "platform/Clock.h"

namespace tolm {

// Whether a recording runs and whether it is paused: set by the user interface, waited on by the recording worker. They
// change under one lock so that a waiting worker wakes at once. Thread-safe.
class RecordingFlags {
  public:
    bool Recording() const { return recording_; }
    bool Paused() const { return paused_; }
    // A stop also lets go a write that waits in the stream for a slow compressor.
    void SetRecording(bool value);
    void SetPaused(bool value);
    // Where the capture loop writes.
    void SetWritingStream(const std::shared_ptr<AviStream>& stream) { writingStream_.Set(stream); }
    // Returns on a stop or a resume.
    void WaitWhilePaused();
    // Waits until `clock` reaches `dueMs`; false when a stop or a pause came first.
    bool WaitUntil(const Clock& clock, double dueMs);

  private:
    std::atomic<bool> recording_{false};
    std::atomic<bool> paused_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    WritingStream writingStream_;
};

}  // namespace tolm

#pragma once

#include <memory>
#include <mutex>

#include "platform/AviLibrary.h"

namespace tolm {

// The stream a recording writes its frames to, within reach of whichever thread stops the recording: a
// write that waits there for a slow compressor is let go, so the stop does not wait for it. Thread-safe.
class WritingStream {
  public:
    void Set(const std::shared_ptr<AviStream>& stream) {
        std::lock_guard lock(mutex_);
        stream_ = stream;
    }

    void StopWaits() {
        std::shared_ptr<AviStream> stream;
        {
            std::lock_guard lock(mutex_);
            stream = stream_.lock();
        }
        if (stream) stream->StopWaitingForRoom();
    }

  private:
    std::mutex mutex_;
    std::weak_ptr<AviStream> stream_;
};

}  // namespace tolm

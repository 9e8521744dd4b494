#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/VideoTypes.h"
#include "platform/ffmpeg/AviMuxer.h"

namespace tolm::ffmpeg {

// One frame on its way to the encoder/writer thread.
struct QueuedFrame {
    std::int32_t position = 0;
    std::uint32_t flags = 0;
    bool hasData = false;
    std::vector<std::uint8_t> bytes;
};

// A bounded first-in first-out queue of frames between one producer and one writer thread, with the
// frame buffers recycled and the writer's first failure kept. Thread-safe.
class FrameQueue final : public PendingWrites {
  public:
    explicit FrameQueue(std::size_t capacity);

    // Waits for room, then hands out a pooled buffer to fill: AVIERR_OK, else the kept failure, or
    // AVIERR_BADHANDLE once closed.
    AviResult Reserve(std::vector<std::uint8_t>& buffer);
    void Push(QueuedFrame frame);

    // The writer's side: the next frame, or false once closed and empty.
    bool Pop(QueuedFrame& frame);
    // The popped frame is through; its buffer returns to the pool.
    void Done(std::vector<std::uint8_t> buffer, AviResult result);

    AviResult Failure() const;
    // Waits until every pushed frame is through: the kept failure.
    AviResult Drain();
    void CloseAfterWriting() override;

    // No more frames: the writer finishes what is queued, waiting producers give up.
    void Close();

  private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<QueuedFrame> frames_;
    std::vector<std::vector<std::uint8_t>> pool_;
    bool busy_ = false;  // the writer holds a popped frame
    bool closed_ = false;
    AviResult failure_ = AVIERR_OK;
};

}  // namespace tolm::ffmpeg

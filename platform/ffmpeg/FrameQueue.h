#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/AviLibrary.h"
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

// How long the producer's side waits for the writer thread before it takes the encoder for stuck.
struct WriterLimits {
    // The writer has held one frame this long without finishing it.
    std::chrono::milliseconds stall{10000};
    // Writing what is still queued when the writes end takes at most this long in all, unless the wait
    // reports its progress (whoever hears it may stop it).
    std::chrono::milliseconds drain{30000};
    // The queue holds no more frames than the writer, at the pace it has kept, writes in this time: what
    // is queued at the end is written within about this long after the frame in the writer's hands.
    std::chrono::milliseconds backlog{1000};
};

// A bounded first-in first-out queue of frames between one producer and one writer thread, with the
// frame buffers recycled and the writer's first failure kept. It holds at most `capacity` frames, fewer
// for a slow writer (see WriterLimits::backlog). No wait of the producer's side outlasts the limits: a
// writer past them is abandoned, the frames still queued are dropped and counted, and the writer sees the
// queue closed before its next frame. Thread-safe.
class FrameQueue final : public PendingWrites {
  public:
    explicit FrameQueue(std::size_t capacity, WriterLimits limits = {});

    // Waits for room, then hands out a pooled buffer to fill: AVIERR_OK, else the kept failure, or
    // AVIERR_BADHANDLE once closed. A stalled writer is abandoned: AVIERR_COMPRESSOR, kept as the failure.
    AviResult Reserve(std::vector<std::uint8_t>& buffer);
    void Push(QueuedFrame frame);
    // From now on Reserve does not wait for room (the writes are about to end); one waiting returns at once.
    void StopWaitingForRoom();

    // The writer's side: the next frame, or false once closed and empty (at once when abandoned).
    bool Pop(QueuedFrame& frame);
    // The popped frame is through; its buffer returns to the pool.
    void Done(std::vector<std::uint8_t> buffer, AviResult result);
    // Sleeps for `delay`, less once the queue is abandoned: an encoder made slow on purpose.
    void Delay(std::chrono::milliseconds delay);

    AviResult Failure() const;
    // Waits until every pushed frame is through: the kept failure (AVIERR_COMPRESSOR for a stalled writer).
    AviResult Drain();
    // No more frames: waits within the limits until what is queued is written, then closes. `progress`, when
    // given, hears the share written (0 to 99) a few times a second and may stop the wait; it has no total
    // limit then. The number of frames dropped, stopped or because the writer did not keep up.
    std::size_t Finish(const AviSaveProgress& progress = {});
    void CloseAfterWriting() override;

    // How many frames the producer may queue now before it waits.
    std::size_t Depth() const;

  private:
    using Clock = std::chrono::steady_clock;

    // Waits until `done` or until the writer stalls or `deadline` passes: whether `done` came.
    bool WaitForWriter(std::unique_lock<std::mutex>& lock, Clock::time_point deadline,
                       const std::function<bool()>& done);
    void Abandon();  // with the lock held
    std::size_t DepthLocked() const;
    // Tells `progress` the share of `total` written; false when it stops the wait. Unlocks meanwhile.
    bool Report(std::unique_lock<std::mutex>& lock, const AviSaveProgress& progress, std::size_t total);

    const std::size_t capacity_;
    const WriterLimits limits_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<QueuedFrame> frames_;
    std::vector<std::vector<std::uint8_t>> pool_;
    bool busy_ = false;  // the writer holds a popped frame
    bool closed_ = false;
    bool abandoned_ = false;
    bool noWaits_ = false;
    std::size_t dropped_ = 0;
    Clock::time_point lastProgress_;  // the writer last took up or finished a frame, or got work when idle
    Clock::time_point taken_;         // the writer took up its frame
    Clock::duration frameTime_{};     // how long the writer takes a frame, smoothed; 0 until one is done
    AviResult failure_ = AVIERR_OK;
};

}  // namespace tolm::ffmpeg

#include "platform/ffmpeg/FrameQueue.h"

#include <utility>

namespace tolm::ffmpeg {

FrameQueue::FrameQueue(std::size_t capacity) : capacity_(capacity > 0 ? capacity : 1) {}

AviResult FrameQueue::Reserve(std::vector<std::uint8_t>& buffer) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return closed_ || failure_ != AVIERR_OK || frames_.size() < capacity_; });
    if (failure_ != AVIERR_OK) return failure_;
    if (closed_) return AVIERR_BADHANDLE;
    if (!pool_.empty()) {
        buffer = std::move(pool_.back());
        pool_.pop_back();
    }
    return AVIERR_OK;
}

void FrameQueue::Push(QueuedFrame frame) {
    {
        std::lock_guard lock(mutex_);
        frames_.push_back(std::move(frame));
    }
    changed_.notify_all();
}

bool FrameQueue::Pop(QueuedFrame& frame) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return closed_ || !frames_.empty(); });
    if (frames_.empty()) return false;
    frame = std::move(frames_.front());
    frames_.pop_front();
    busy_ = true;
    lock.unlock();
    changed_.notify_all();  // room for a waiting producer
    return true;
}

void FrameQueue::Done(std::vector<std::uint8_t> buffer, AviResult result) {
    {
        std::lock_guard lock(mutex_);
        busy_ = false;
        if (result != AVIERR_OK && failure_ == AVIERR_OK) failure_ = result;
        // At most one buffer per slot plus the writer's stays around.
        if (pool_.size() <= capacity_) pool_.push_back(std::move(buffer));
    }
    changed_.notify_all();
}

AviResult FrameQueue::Failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

AviResult FrameQueue::Drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return frames_.empty() && !busy_; });
    return failure_;
}

void FrameQueue::CloseAfterWriting() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return frames_.empty() && !busy_; });
    closed_ = true;
    lock.unlock();
    changed_.notify_all();
}

void FrameQueue::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

}  // namespace tolm::ffmpeg

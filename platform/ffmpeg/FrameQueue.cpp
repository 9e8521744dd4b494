#include "platform/ffmpeg/FrameQueue.h"

#include <algorithm>
#include <utility>

namespace tolm::ffmpeg {
namespace {

// Often enough for a Cancel to be answered at once; a percentage moves slowly anyway.
constexpr std::chrono::milliseconds kReportEvery{250};

}  // namespace

FrameQueue::FrameQueue(std::size_t capacity, WriterLimits limits)
    : capacity_(capacity > 0 ? capacity : 1), limits_(limits), lastProgress_(Clock::now()) {}

bool FrameQueue::WaitForWriter(std::unique_lock<std::mutex>& lock, Clock::time_point deadline,
                               const std::function<bool()>& done) {
    while (!done()) {
        if (abandoned_) return false;
        // Progress, not the whole wait, is what is limited: a slow writer that keeps finishing frames is
        // waited for, up to the deadline.
        const Clock::time_point until = std::min(deadline, lastProgress_ + limits_.stall);
        if (Clock::now() >= until) return false;
        changed_.wait_until(lock, until);
    }
    return true;
}

void FrameQueue::Abandon() {
    dropped_ += frames_.size();
    frames_.clear();
    abandoned_ = true;
    closed_ = true;
}

AviResult FrameQueue::Reserve(std::vector<std::uint8_t>& buffer) {
    std::unique_lock lock(mutex_);
    const bool room = WaitForWriter(lock, Clock::time_point::max(), [&] {
        return closed_ || failure_ != AVIERR_OK || noWaits_ || frames_.size() < DepthLocked();
    });
    if (!room) {
        // A recording whose encoder does not move cannot go on; its caller must be free to stop it.
        Abandon();
        if (failure_ == AVIERR_OK) failure_ = AVIERR_COMPRESSOR;
        lock.unlock();
        changed_.notify_all();
        return AVIERR_COMPRESSOR;
    }
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
        if (closed_) {
            ++dropped_;  // the queue closed while the frame was being filled
            return;
        }
        // An idle writer's clock starts with the work, not with its last frame long ago.
        if (frames_.empty() && !busy_) lastProgress_ = Clock::now();
        frames_.push_back(std::move(frame));
    }
    changed_.notify_all();
}

void FrameQueue::StopWaitingForRoom() {
    {
        std::lock_guard lock(mutex_);
        noWaits_ = true;
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
    lastProgress_ = Clock::now();
    taken_ = lastProgress_;
    lock.unlock();
    changed_.notify_all();  // room for a waiting producer
    return true;
}

void FrameQueue::Done(std::vector<std::uint8_t> buffer, AviResult result) {
    {
        std::lock_guard lock(mutex_);
        busy_ = false;
        lastProgress_ = Clock::now();
        const Clock::duration took = lastProgress_ - taken_;
        frameTime_ = frameTime_ == Clock::duration::zero() ? took : (3 * frameTime_ + took) / 4;
        if (result != AVIERR_OK && failure_ == AVIERR_OK) failure_ = result;
        // At most one buffer per slot plus the writer's stays around.
        if (pool_.size() <= capacity_) pool_.push_back(std::move(buffer));
    }
    changed_.notify_all();
}

void FrameQueue::Delay(std::chrono::milliseconds delay) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, delay, [&] { return abandoned_; });
}

AviResult FrameQueue::Failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

AviResult FrameQueue::Drain() {
    std::unique_lock lock(mutex_);
    if (!WaitForWriter(lock, Clock::time_point::max(), [&] { return frames_.empty() && !busy_; }) && !abandoned_) {
        Abandon();
        if (failure_ == AVIERR_OK) failure_ = AVIERR_COMPRESSOR;
        const AviResult failure = failure_;
        lock.unlock();
        changed_.notify_all();
        return failure;
    }
    return failure_;
}

std::size_t FrameQueue::Finish(const AviSaveProgress& progress) {
    std::unique_lock lock(mutex_);
    const auto written = [&] { return frames_.empty() && !busy_; };
    const std::size_t total = frames_.size() + (busy_ ? 1 : 0);
    // A wait that shows its progress may take as long as its watcher lets it; a silent one has a limit.
    const Clock::time_point deadline = progress ? Clock::time_point::max() : Clock::now() + limits_.drain;
    while (!written() && !abandoned_) {
        if (progress && !Report(lock, progress, total)) {
            Abandon();
            break;
        }
        const Clock::time_point until = progress ? Clock::now() + kReportEvery : deadline;
        if (WaitForWriter(lock, until, written) || abandoned_) break;
        const Clock::time_point now = Clock::now();
        if (now >= deadline || now >= lastProgress_ + limits_.stall) Abandon();
    }
    closed_ = true;
    const std::size_t dropped = dropped_;
    lock.unlock();
    changed_.notify_all();
    return dropped;
}

bool FrameQueue::Report(std::unique_lock<std::mutex>& lock, const AviSaveProgress& progress, std::size_t total) {
    const std::size_t left = frames_.size() + (busy_ ? 1 : 0);
    // Never 100: whatever follows the wait ends the step.
    const auto percent = static_cast<int>(99 * (total - std::min(left, total)) / std::max<std::size_t>(total, 1));
    lock.unlock();
    const bool goOn = progress(percent) == 0;
    lock.lock();
    return goOn;
}

std::size_t FrameQueue::Depth() const {
    std::lock_guard lock(mutex_);
    return DepthLocked();
}

std::size_t FrameQueue::DepthLocked() const {
    if (frameTime_ <= Clock::duration::zero()) return capacity_;
    const auto fit = static_cast<std::size_t>(limits_.backlog / frameTime_);
    return std::clamp<std::size_t>(fit, 1, capacity_);
}

void FrameQueue::CloseAfterWriting() {
    Finish();
}

}  // namespace tolm::ffmpeg

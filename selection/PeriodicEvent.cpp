#include "selection/PeriodicEvent.h"

#include <stdexcept>

#include "platform/ThreadPriority.h"

namespace tolm {
namespace {

std::chrono::milliseconds CheckedPeriod(std::chrono::milliseconds period) {
    if (period.count() <= 0) throw std::invalid_argument("a periodic event needs a period of at least 1 ms");
    return period;
}

}  // namespace

PeriodicEvent::PeriodicEvent(std::chrono::milliseconds period, std::function<void()> fire)
    : period_(CheckedPeriod(period)), fire_(std::move(fire)), thread_([this] { Run(); }) {}

PeriodicEvent::~PeriodicEvent() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopRequested_.notify_all();
    thread_.join();
}

void PeriodicEvent::Run() {
    SetCurrentThreadName("tolm-mmtimer");
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now() + period_;
    std::unique_lock lock(mutex_);
    while (!stopRequested_.wait_until(lock, next, [this] { return stopping_; })) {
        lock.unlock();
        fire_();
        lock.lock();
        next += period_;
        const auto now = Clock::now();
        if (next <= now) next += ((now - next) / period_ + 1) * period_;
    }
}

}  // namespace tolm

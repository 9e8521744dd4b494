#pragma once

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <utility>

#include "platform/Clock.h"

namespace tolm {

// A clock that moves only when the test says so, or when something waits on it: a wait that is not done
// at once moves the clock to its deadline, so a paced loop runs its timeline without real time passing.
class ManualClock final : public Clock {
  public:
    explicit ManualClock(double startMs = 0) : now_(startMs) {}
    double NowMs() const override { return now_.load(); }
    void Set(double ms) { now_.store(ms); }
    void Advance(double ms) { now_.store(now_.load() + ms); }

    bool WaitUntil(std::condition_variable&, std::unique_lock<std::mutex>& lock, double deadlineMs,
                   const std::function<bool()>& done) const override {
        if (done()) return true;
        now_.store(std::max(now_.load(), deadlineMs));
        std::function<void(double)> hook;
        {
            std::lock_guard hookLock(hookMutex_);
            hook = waitHook_;
        }
        if (hook) {
            // Without the waiter's lock: the hook may well stop or pause what waits.
            lock.unlock();
            hook(now_.load());
            lock.lock();
        }
        return done();
    }

    // Called after every wait that moved the clock, with the time it moved to: tests change the screen here.
    void SetWaitHook(std::function<void(double nowMs)> hook) {
        std::lock_guard lock(hookMutex_);
        waitHook_ = std::move(hook);
    }

  private:
    mutable std::atomic<double> now_;
    mutable std::mutex hookMutex_;
    std::function<void(double)> waitHook_;
};

}  // namespace tolm

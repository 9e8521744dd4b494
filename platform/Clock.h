#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace tolm {

// A monotonic millisecond clock; the timeline and the timers read time only through it.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual double NowMs() const = 0;

    // Waits on `wake` (with `lock` held, as condition_variable::wait_until does) until the clock reads
    // `deadlineMs` or `done()` holds; returns done(). Whoever makes done() true notifies `wake`.
    virtual bool WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, double deadlineMs,
                           const std::function<bool()>& done) const = 0;
};

class SteadyClock final : public Clock {
  public:
    double NowMs() const override {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }

    bool WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, double deadlineMs,
                   const std::function<bool()>& done) const override {
        using Ms = std::chrono::duration<double, std::milli>;
        const std::chrono::time_point<std::chrono::steady_clock, Ms> deadline{Ms(deadlineMs)};
        return wake.wait_until(lock, deadline, done);
    }
};

}  // namespace tolm

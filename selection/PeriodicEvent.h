#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace tolm {

// A periodic timer event: a thread of its own calls fire() once per period, at absolute deadlines on the
// steady clock so the period does not drift by the time fire() takes. Periods missed (a stalled machine)
// are skipped, not fired in a burst. fire() must not block for long; it runs on the event's thread.
class PeriodicEvent {
  public:
    // Throws std::system_error when the thread cannot be started.
    PeriodicEvent(std::chrono::milliseconds period, std::function<void()> fire);
    // Stops the event and joins its thread; fire() is not called any more once this returns.
    ~PeriodicEvent();
    PeriodicEvent(const PeriodicEvent&) = delete;
    PeriodicEvent& operator=(const PeriodicEvent&) = delete;

  private:
    void Run();

    const std::chrono::milliseconds period_;
    const std::function<void()> fire_;
    std::mutex mutex_;
    std::condition_variable stopRequested_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the members above exist
};

}  // namespace tolm

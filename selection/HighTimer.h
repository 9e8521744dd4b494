#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Host.h"
#include "platform/MainThread.h"
#include "platform/ThreadPriority.h"

namespace tolm {

class PeriodicEvent;
class TickGate;
class TSCThreadedTimer;

// No periodic timer event could be started.
class EOutOfResources : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Calls OnTimer every Interval milliseconds (unit scHighTimer). Thread mode (UseThread, the default): a
// worker sleeps Interval, then ticks on the main thread while it waits (Synchronize) or on itself, so one
// period is Interval plus the time of the tick. Multimedia mode: a periodic event ticks on the main thread
// every Interval; a tick that arrives while one is being delivered (Busy) is dropped. An error escaping
// OnTimer is shown through the host; it ends the worker, or in multimedia mode leaves Busy set, so ticks stop
// until the next restart.
//
// Every property write that changes the timer's state stops what runs and starts afresh. Linux timers keep
// millisecond precision without a resolution request, so none is made. The main thread and the host must
// outlive the timer. The timer may be destroyed on any thread, also by its own handler; a handler running
// on another thread is waited for, so it must not wait for the thread destroying the timer.
class THighTimer {
  public:
    using TNotifyEvent = std::function<void(THighTimer& sender)>;

    // The periods a timer supports on this platform, in milliseconds.
    static constexpr std::uint32_t kPeriodMin = 1;
    static constexpr std::uint32_t kPeriodMax = 1000000;

    // host shows the errors no caller can receive (a failing tick, a worker that could not be stopped).
    THighTimer(MainThread& mainThread, Host& host);
    virtual ~THighTimer();
    THighTimer(const THighTimer&) = delete;
    THighTimer& operator=(const THighTimer&) = delete;

    bool Enabled() const { return enabled_.load(); }
    void SetEnabled(bool value);
    std::uint32_t Interval() const { return interval_.load(); }
    // Clamped to PeriodMin..PeriodMax. A worker sleeps the low 16 bits of it.
    void SetInterval(std::uint32_t value);
    TNotifyEvent OnTimer() const;
    // Throws EOutOfResources, like the other writers, when multimedia mode cannot start its event.
    void SetOnTimer(TNotifyEvent handler);
    bool Synchronize() const { return synchronize_.load(); }
    void SetSynchronize(bool value) { synchronize_.store(value); }  // read by the worker at each tick
    bool UseThread() const { return useThread_.load(); }
    void SetUseThread(bool value);
    TThreadPriority ThreadPriority() const { return threadPriority_.load(); }
    void SetThreadPriority(TThreadPriority value);
    std::uint32_t PeriodMin() const { return kPeriodMin; }
    std::uint32_t PeriodMax() const { return kPeriodMax; }

    // Calls OnTimer with this timer as sender, when a handler is set.
    virtual void Tick();

    // What runs now, for diagnostics and tests.
    bool Busy() const { return busy_.load(); }
    std::uint32_t EventId() const { return eventId_.load(); }  // the running periodic event, 0 for none
    bool HasWorker() const;
    std::uint16_t WorkerInterval() const;  // the current worker's sleep in milliseconds, 0 without a worker
    std::uint64_t StartCount() const { return starts_.load(); }  // workers and events started so far

  private:
    friend class TSCThreadedTimer;

    template <typename Write>
    void WriteState(Write write);
    void ApplyTimerState(std::string& stopError);
    void StartEvent();
    bool HasHandler() const;
    void ReportError(const std::string& text);
    static void DeliverEventTick(const std::shared_ptr<TickGate>& gate, std::uint32_t eventId);

    MainThread& mainThread_;
    Host& host_;
    std::shared_ptr<TickGate> gate_;

    std::atomic<bool> synchronize_{true};
    std::atomic<bool> useThread_{true};
    std::atomic<bool> enabled_{false};
    std::atomic<bool> busy_{false};  // main thread only, but readable anywhere
    std::atomic<std::uint32_t> interval_{1000};
    std::atomic<std::uint32_t> eventId_{0};
    std::atomic<TThreadPriority> threadPriority_{TThreadPriority::tpNormal};
    std::atomic<std::uint64_t> starts_{0};

    mutable std::mutex handlerMutex_;
    TNotifyEvent onTimer_;

    // Serialises the writers; never held while a tick runs or while waiting for one.
    mutable std::mutex stateMutex_;
    bool destroying_ = false;
    std::uint32_t lastEventId_ = 0;
    std::unique_ptr<PeriodicEvent> event_;
    std::unique_ptr<TSCThreadedTimer> worker_;
    std::vector<std::unique_ptr<TSCThreadedTimer>> retired_;  // told to terminate, not yet joined
};

}  // namespace tolm

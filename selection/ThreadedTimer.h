#pragma once

#include <cstdint>
#include <memory>
#include <thread>

#include "platform/MainThread.h"
#include "platform/ThreadPriority.h"

namespace tolm {

class THighTimer;
class TickGate;

// The worker of THighTimer's thread mode: sleeps Interval, then, if the timer is enabled, ticks it, on the
// main thread while it waits (Synchronize) or on itself. It reaches the timer only through the gate, and
// reads Enabled and Synchronize afresh at each tick.
//
// A tick for the main thread is handed over with Post and answered through the worker's own state rather
// than with MainThread::Invoke, because Terminate must be able to abandon that wait: a timer destroyed on
// the main thread joins its worker, which would otherwise be waiting for the main thread. A handed-over tick
// that arrives after Terminate does nothing; one the main thread drops unrun (it has stopped taking work)
// ends the worker, as the end of the application does.
class TSCThreadedTimer {
  public:
    // Starts the worker; its priority is set before its first sleep (a refusal leaves it as it is).
    TSCThreadedTimer(std::shared_ptr<TickGate> gate, MainThread& mainThread, std::uint16_t intervalMs,
                     TThreadPriority priority);
    // Terminates and joins the worker, or, called on the worker itself (its handler destroyed the timer),
    // lets it end on its own: from there on it touches only state it shares ownership of.
    ~TSCThreadedTimer();
    TSCThreadedTimer(const TSCThreadedTimer&) = delete;
    TSCThreadedTimer& operator=(const TSCThreadedTimer&) = delete;

    // Tells the worker to end: wakes its sleep and abandons a tick it waits for. Returns at once; a tick
    // already running on the worker is finished, nothing starts after it.
    void Terminate();
    // The worker has ended, so joining it does not wait.
    bool Finished() const;
    std::uint16_t Interval() const { return intervalMs_; }

  private:
    struct Shared;
    struct TickAnswer;

    static void Run(std::shared_ptr<Shared> shared, std::shared_ptr<TickGate> gate, MainThread& mainThread);
    static void DeliverOnMain(Shared& shared, TickGate& gate, TickAnswer& answer);
    static bool RunTick(TickGate& gate, THighTimer& timer);

    const std::uint16_t intervalMs_;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace tolm

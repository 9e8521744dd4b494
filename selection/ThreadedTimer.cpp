#include "selection/ThreadedTimer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "selection/HighTimer.h"
#include "selection/TickGate.h"

namespace tolm {

// Lock order: Shared::mutex, then the gate's.
struct TSCThreadedTimer::Shared {
    Shared(std::uint16_t intervalMs, TThreadPriority priority) : intervalMs(intervalMs), priority(priority) {}

    const std::uint16_t intervalMs;
    const TThreadPriority priority;
    std::mutex mutex;
    std::condition_variable wake;
    bool terminated = false;
    bool tickPending = false;  // a tick handed to the main thread has not been answered
    bool mainGone = false;     // the main thread dropped a tick without running it
    bool tickFailed = false;
    std::atomic<bool> finished{false};
};

// Travels with a tick handed to the main thread; if the tick dies unrun, it answers the worker.
struct TSCThreadedTimer::TickAnswer {
    explicit TickAnswer(std::shared_ptr<Shared> s) : shared(std::move(s)) {}
    ~TickAnswer() {
        std::lock_guard lock(shared->mutex);
        if (answered) return;
        shared->tickPending = false;
        shared->mainGone = true;
        shared->wake.notify_all();
    }
    TickAnswer(const TickAnswer&) = delete;
    TickAnswer& operator=(const TickAnswer&) = delete;

    std::shared_ptr<Shared> shared;
    bool answered = false;  // under shared->mutex
};

TSCThreadedTimer::TSCThreadedTimer(std::shared_ptr<TickGate> gate, MainThread& mainThread, std::uint16_t intervalMs,
                                   TThreadPriority priority)
    : intervalMs_(intervalMs), shared_(std::make_shared<Shared>(intervalMs, priority)) {
    thread_ = std::thread(Run, shared_, std::move(gate), std::ref(mainThread));
}

TSCThreadedTimer::~TSCThreadedTimer() {
    Terminate();
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

void TSCThreadedTimer::Terminate() {
    std::lock_guard lock(shared_->mutex);
    shared_->terminated = true;
    shared_->wake.notify_all();
}

bool TSCThreadedTimer::Finished() const {
    return shared_->finished.load();
}

bool TSCThreadedTimer::RunTick(TickGate& gate, THighTimer& timer) {
    // An error ends the worker, as an error escaping a thread's body would; the user is told. A handler
    // that destroyed its timer before throwing leaves nobody to tell.
    try {
        timer.Tick();
        return true;
    } catch (const std::exception& e) {
        if (gate.Open()) timer.ReportError(e.what());
    } catch (...) {
        if (gate.Open()) timer.ReportError("Unknown error in the timer's handler");
    }
    return false;
}

void TSCThreadedTimer::DeliverOnMain(Shared& shared, TickGate& gate, TickAnswer& answer) {
    std::unique_lock lock(shared.mutex);
    answer.answered = true;
    bool ok = true;
    if (!shared.terminated) {
        TickGate::Entry entry(gate);
        if (entry) {
            lock.unlock();
            ok = RunTick(gate, entry.Timer());
            entry.Leave();
            lock.lock();
        }
    }
    shared.tickPending = false;
    if (!ok) shared.tickFailed = true;
    shared.wake.notify_all();
}

void TSCThreadedTimer::Run(std::shared_ptr<Shared> shared, std::shared_ptr<TickGate> gate, MainThread& mainThread) {
    SetCurrentThreadName("tolm-hightimer");
    ::tolm::SetThreadPriority(CurrentSystemThreadId(), shared->priority);
    Shared& s = *shared;
    std::unique_lock lock(s.mutex);
    while (!s.terminated) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(s.intervalMs);
        if (s.wake.wait_until(lock, deadline, [&] { return s.terminated; })) break;

        // Entered under the worker's lock, so a worker told to terminate never reaches the timer again.
        TickGate::Entry entry(*gate);
        if (!entry) break;  // the timer is being destroyed
        THighTimer& timer = entry.Timer();
        if (!timer.Enabled()) continue;
        if (timer.Synchronize()) {
            entry.Leave();  // the main thread enters on its own
            s.tickPending = true;
            lock.unlock();
            mainThread.Post([shared, gate, answer = std::make_shared<TickAnswer>(shared)] {
                DeliverOnMain(*shared, *gate, *answer);
            });
            lock.lock();
            s.wake.wait(lock, [&] { return !s.tickPending || s.terminated; });
            if (s.mainGone || s.tickFailed) break;
        } else {
            lock.unlock();
            const bool ok = RunTick(*gate, timer);
            entry.Leave();
            lock.lock();
            if (!ok) break;
        }
    }
    s.finished = true;
}

}  // namespace tolm

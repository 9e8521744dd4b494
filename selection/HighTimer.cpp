#include "selection/HighTimer.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <system_error>

#include "selection/PeriodicEvent.h"
#include "selection/ThreadedTimer.h"
#include "selection/TickGate.h"

namespace tolm {

THighTimer::THighTimer(MainThread& mainThread, Host& host)
    : mainThread_(mainThread), host_(host), gate_(std::make_shared<TickGate>(*this)) {}

THighTimer::~THighTimer() {
    TNotifyEvent handler;
    std::string stopError;
    {
        std::lock_guard lock(stateMutex_);
        destroying_ = true;
        {
            std::lock_guard handlerLock(handlerMutex_);
            handler.swap(onTimer_);
        }
        // Kills a running periodic event as well, so nothing is posted for a timer that is gone.
        ApplyTimerState(stopError);
        enabled_ = false;
    }
    if (!stopError.empty()) ReportError(stopError);
    // Ticks already running on other threads finish first; ticks still queued find the gate closed.
    gate_->Close();
    std::vector<std::unique_ptr<TSCThreadedTimer>> workers;
    {
        std::lock_guard lock(stateMutex_);
        workers = std::move(retired_);
        if (worker_) workers.push_back(std::move(worker_));
    }
    workers.clear();  // joins them; they are all told to terminate and wait for nothing of ours
}

template <typename Write>
void THighTimer::WriteState(Write write) {
    // The message box comes after the lock is released: a modal box may run ticks that write properties.
    std::string stopError;
    try {
        std::lock_guard lock(stateMutex_);
        if (write()) ApplyTimerState(stopError);
    } catch (...) {
        if (!stopError.empty()) ReportError(stopError);
        throw;
    }
    if (!stopError.empty()) ReportError(stopError);
}

void THighTimer::SetEnabled(bool value) {
    WriteState([&] {
        if (enabled_ == value) return false;
        enabled_ = value;
        return true;
    });
}

void THighTimer::SetInterval(std::uint32_t value) {
    WriteState([&] {
        if (value == interval_) return false;
        interval_ = std::clamp(value, kPeriodMin, kPeriodMax);
        return true;
    });
}

THighTimer::TNotifyEvent THighTimer::OnTimer() const {
    std::lock_guard lock(handlerMutex_);
    return onTimer_;
}

void THighTimer::SetOnTimer(TNotifyEvent handler) {
    WriteState([&] {
        std::lock_guard lock(handlerMutex_);
        onTimer_.swap(handler);
        return true;
    });
    // The previous handler dies here, outside the locks.
}

void THighTimer::SetUseThread(bool value) {
    WriteState([&] {
        if (useThread_ == value) return false;
        useThread_ = value;
        return true;
    });
}

void THighTimer::SetThreadPriority(TThreadPriority value) {
    WriteState([&] {
        if (threadPriority_ == value) return false;
        threadPriority_ = value;
        return useThread_.load();
    });
}

bool THighTimer::HasHandler() const {
    std::lock_guard lock(handlerMutex_);
    return static_cast<bool>(onTimer_);
}

bool THighTimer::HasWorker() const {
    std::lock_guard lock(stateMutex_);
    return worker_ != nullptr;
}

std::uint16_t THighTimer::WorkerInterval() const {
    std::lock_guard lock(stateMutex_);
    return worker_ ? worker_->Interval() : 0;
}

void THighTimer::Tick() {
    // A copy, so a handler may replace itself or destroy the timer while it runs.
    const TNotifyEvent handler = OnTimer();
    if (handler) handler(*this);
}

void THighTimer::ReportError(const std::string& text) {
    host_.ShowNotice("Error", text, NoticeIcon::error);
}

// Called with stateMutex_ held.
void THighTimer::ApplyTimerState(std::string& stopError) {
    std::erase_if(retired_, [](const auto& worker) { return worker->Finished(); });
    if (worker_) {
        // The old worker is left to end: it does not reach this timer again and is joined later.
        try {
            worker_->Terminate();
        } catch (const std::exception& e) {
            stopError = e.what();
        }
        retired_.push_back(std::move(worker_));
    }
    if (eventId_ != 0) {
        event_.reset();
        eventId_ = 0;
    }
    if (destroying_ || !enabled_ || !HasHandler()) return;
    if (useThread_) {
        // The worker's sleep is 16 bits wide: longer intervals keep only their low 16 bits. A multiple of 65536
        // would leave no sleep at all and the worker would spin; it sleeps the shortest period instead.
        auto sleepMs = static_cast<std::uint16_t>(interval_ & 0xFFFFu);
        if (sleepMs == 0) sleepMs = static_cast<std::uint16_t>(PeriodMin());
        worker_ = std::make_unique<TSCThreadedTimer>(gate_, mainThread_, sleepMs, threadPriority_.load());
        ++starts_;
    } else if (interval_ != 0) {
        StartEvent();
    }
}

void THighTimer::StartEvent() {
    if (++lastEventId_ == 0) ++lastEventId_;
    const std::uint32_t id = lastEventId_;
    busy_ = false;
    eventId_ = id;  // before the event exists, so its first tick is not taken for a stale one
    try {
        event_ = std::make_unique<PeriodicEvent>(std::chrono::milliseconds(interval_.load()),
                                                 [&mainThread = mainThread_, gate = gate_, id] {
                                                     mainThread.Post([gate, id] { DeliverEventTick(gate, id); });
                                                 });
    } catch (const std::system_error&) {
        eventId_ = 0;
        throw EOutOfResources("Not enough timers available");
    }
    ++starts_;
}

// Main thread: one tick of multimedia mode.
void THighTimer::DeliverEventTick(const std::shared_ptr<TickGate>& gate, std::uint32_t eventId) {
    TickGate::Entry entry(*gate);
    if (!entry) return;
    THighTimer& timer = entry.Timer();
    if (eventId != timer.eventId_ || timer.busy_) return;  // stale, or a tick is being delivered
    timer.busy_ = true;
    // After an error Busy stays set: later ticks are dropped until the timer is restarted. The gate tells
    // whether the handler destroyed the timer.
    try {
        timer.Tick();
    } catch (const std::exception& e) {
        if (gate->Open()) timer.ReportError(e.what());
        return;
    } catch (...) {
        if (gate->Open()) timer.ReportError("Unknown error in the timer's handler");
        return;
    }
    if (gate->Open()) timer.busy_ = false;
}

}  // namespace tolm

#include "platform/EventLoop.h"

#include <exception>
#include <utility>

namespace tolm {

struct EventLoop::Call {
    enum class State { queued, running, done, abandoned };
    State state = State::queued;
    std::exception_ptr error;
};

EventLoop::EventLoop() : owner_(std::this_thread::get_id()) {}

EventLoop::~EventLoop() {
    Quit();
    std::unique_lock lock(mutex_);
    callsAnswered_.wait(lock, [this] { return invokers_ == 0; });
}

void EventLoop::BindToCallingThread() {
    owner_.store(std::this_thread::get_id());
}

bool EventLoop::IsMainThread() const {
    return owner_.load() == std::this_thread::get_id();
}

void EventLoop::Post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        if (quit_) return;  // fn dies here, outside the lock it might need
        queue_.push_back(Job{std::move(fn), nullptr});
    }
    workArrived_.notify_all();
}

bool EventLoop::Invoke(std::function<void()> fn) {
    if (IsMainThread()) {
        if (HasQuit()) return false;
        fn();
        return true;
    }
    auto call = std::make_shared<Call>();
    std::unique_lock lock(mutex_);
    if (quit_) return false;
    queue_.push_back(Job{std::move(fn), call});
    ++invokers_;
    workArrived_.notify_all();
    callsAnswered_.wait(lock,
                        [&] { return call->state == Call::State::done || call->state == Call::State::abandoned; });
    --invokers_;
    if (invokers_ == 0) callsAnswered_.notify_all();  // the destructor may be waiting for the last one
    if (call->error) {
        lock.unlock();
        std::rethrow_exception(call->error);
    }
    return call->state == Call::State::done;
}

void EventLoop::Quit() {
    std::deque<Job> dropped;
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        dropped.swap(queue_);
        for (Job& job : dropped)
            if (job.call) job.call->state = Call::State::abandoned;
    }
    workArrived_.notify_all();
    callsAnswered_.notify_all();
    // The dropped work is destroyed here, outside the lock.
}

bool EventLoop::HasQuit() const {
    std::lock_guard lock(mutex_);
    return quit_;
}

std::size_t EventLoop::PendingCount() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

void EventLoop::Wake() {
    {
        std::lock_guard lock(mutex_);
        ++wakeups_;
    }
    workArrived_.notify_all();
}

// Called with the lock held and work queued; returns with the lock held.
void EventLoop::RunNext(std::unique_lock<std::mutex>& lock) {
    std::shared_ptr<Call> call;
    std::exception_ptr error;
    {
        Job job = std::move(queue_.front());
        queue_.pop_front();
        call = std::move(job.call);
        if (call) call->state = Call::State::running;
        lock.unlock();
        try {
            job.fn();
        } catch (...) {
            error = std::current_exception();
        }
        // The work and what it captured die before the lock is taken again.
    }
    lock.lock();
    if (call) {
        call->state = Call::State::done;
        call->error = error;
        callsAnswered_.notify_all();
    } else if (error) {
        std::rethrow_exception(error);
    }
}

void EventLoop::Run() {
    BindToCallingThread();
    std::unique_lock lock(mutex_);
    while (true) {
        workArrived_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        if (quit_) return;
        RunNext(lock);
    }
}

std::size_t EventLoop::ProcessPending() {
    BindToCallingThread();
    std::unique_lock lock(mutex_);
    const std::size_t queued = queue_.size();
    std::size_t ran = 0;
    while (ran < queued && !quit_ && !queue_.empty()) {
        RunNext(lock);
        ++ran;
    }
    return ran;
}

void EventLoop::RunFor(std::chrono::milliseconds duration) {
    RunUntil([] { return false; }, duration);
}

void EventLoop::RunModal(const std::function<bool()>& finished) {
    while (!HasQuit() && !RunUntil(finished, std::chrono::hours(1))) {
    }
}

bool EventLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    BindToCallingThread();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    while (true) {
        // Noted before done() runs, so a Wake during the check is not lost.
        const std::uint64_t seenWakeups = wakeups_;
        lock.unlock();
        if (done()) return true;
        lock.lock();
        const bool woken = workArrived_.wait_until(lock, deadline,
                                                   [&] { return quit_ || !queue_.empty() || wakeups_ != seenWakeups; });
        if (!woken || quit_) {
            lock.unlock();
            return done();
        }
        if (!queue_.empty()) RunNext(lock);
    }
}

}  // namespace tolm

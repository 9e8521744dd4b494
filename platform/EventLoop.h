#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/MainThread.h"

namespace tolm {

// The main thread of a program without a toolkit (the headless recorder, tests). Whichever thread runs the
// loop (Run, RunFor, RunUntil, ProcessPending) becomes the main thread; before that it is the creating thread.
// Quit is final: queued work is dropped, later Posts are discarded and every Invoke, waiting or new,
// answers false without running its function.
class EventLoop final : public MainThread {
  public:
    EventLoop();
    // Quits, then waits until every thread blocked in Invoke has been answered and has left.
    ~EventLoop() override;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    void Post(std::function<void()> fn) override;
    // An exception thrown by fn on the main thread is thrown again to the caller.
    bool Invoke(std::function<void()> fn) override;
    bool IsMainThread() const override;

    // Runs posted work until Quit. An exception thrown by posted work ends the call and reaches its caller.
    void Run();
    void Quit();
    bool HasQuit() const;

    // Runs the work queued at the time of the call (not what it posts meanwhile); returns how many ran.
    // Safe to call from inside posted work, as a modal loop would.
    std::size_t ProcessPending();
    // Runs posted work as it comes, for the given time.
    void RunFor(std::chrono::milliseconds duration);
    // Runs posted work until done() holds or the timeout passes; returns done(). done() is checked on
    // entry, after each piece of work and after each Wake.
    void RunModal(const std::function<bool()>& finished) override;
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Makes a running RunUntil check its condition again; for threads that change what it looks at.
    void Wake();

    std::size_t PendingCount() const;

  private:
    struct Call;
    struct Job {
        std::function<void()> fn;
        std::shared_ptr<Call> call;  // set for Invoke
    };

    void BindToCallingThread();
    void RunNext(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::condition_variable workArrived_;
    std::condition_variable callsAnswered_;
    std::deque<Job> queue_;
    std::atomic<std::thread::id> owner_;
    bool quit_ = false;
    std::uint64_t wakeups_ = 0;
    std::size_t invokers_ = 0;  // threads inside Invoke
};

}  // namespace tolm

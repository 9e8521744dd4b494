#pragma once

#include <functional>

namespace tolm {

// The thread that owns the user interface. The engine and the timers reach it only through this.
class MainThread {
  public:
    virtual ~MainThread() = default;

    // Queues fn to run on the main thread and returns at once.
    virtual void Post(std::function<void()> fn) = 0;

    // Runs fn on the main thread and waits for it; called on the main thread itself, runs fn directly.
    // Returns false, without running fn, when the main thread has stopped taking work.
    virtual bool Invoke(std::function<void()> fn) = 0;

    virtual bool IsMainThread() const = 0;

    // Keeps serving the main thread's work, from the main thread, until `finished` says so (a modal window's
    // loop) or the loop is ended.
    virtual void RunModal(const std::function<bool()>& finished) = 0;
};

}  // namespace tolm

#pragma once

#include <QObject>

#include <cstddef>
#include <memory>

#include "platform/MainThread.h"

namespace tolm {

// The main thread of the Qt front end: the thread of the QApplication, served by its event loop. Create it on
// that thread after the QApplication. When the application quits (aboutToQuit) or this object goes, it stops
// taking work: queued work is dropped, later Posts are discarded and every Invoke, waiting or new, answers
// false without running its function, so a worker never hangs on a loop that will not turn again.
class QtMainThread final : public MainThread {
  public:
    QtMainThread();
    // Stops, then waits until every thread blocked in Invoke has been answered and has left.
    ~QtMainThread() override;
    QtMainThread(const QtMainThread&) = delete;
    QtMainThread& operator=(const QtMainThread&) = delete;

    // Work runs in the order posted. Posted work must not throw: an exception ends the program.
    void Post(std::function<void()> fn) override;
    // An exception thrown by fn on the main thread is thrown again to the caller.
    bool Invoke(std::function<void()> fn) override;
    bool IsMainThread() const override;
    // Checks `finished` on entry and each time the loop has run a batch of events and is about to wait;
    // a timer keeps checking while events never let up. Returns at once off the main thread or once stopped.
    void RunModal(const std::function<bool()>& finished) override;

    bool Stopped() const;
    // Threads blocked in Invoke right now.
    std::size_t WaitingInvokers() const;

  private:
    struct Shared;

    std::shared_ptr<Shared> shared_;  // outlives this object in queued work that is still to be dropped
    std::unique_ptr<QObject> receiver_;
};

}  // namespace tolm

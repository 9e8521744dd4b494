#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/MainThread.h"

namespace tolm {

// A thread's queue of messages: work posted from any thread runs on the owning thread while it serves the
// queue. Device layers hand their messages to the thread that opened them this way, so callbacks never run
// on the device's own threads.
class MessageQueue {
  public:
    // The calling thread's queue, made on first use; holders keep it alive after the thread has ended.
    static std::shared_ptr<MessageQueue> OfCurrentThread();

    void Post(std::function<void()> message);
    // Makes the owner's serving loop end (WaitAndDispatch returns false) once the earlier messages have run.
    void PostQuit();

    // Runs the messages queued now; false when it met the quit message.
    bool DispatchPending();
    // Waits for the next message and runs it; false at the quit message.
    bool WaitAndDispatch();
    // Serves messages until `done` holds or `timeoutMs` (-1: no limit) has passed; true when `done` held.
    bool ServeUntil(const std::function<bool()>& done, int timeoutMs);

    // Called after every Post, on the posting thread, so an event loop of another kind (a GUI's) can arrange
    // for DispatchPending to run on the owning thread.
    void SetWakeHandler(std::function<void()> wake);

  private:
    struct Item {
        std::function<void()> fn;
        bool quit = false;
    };
    bool RunOne(Item& item);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> items_;
    std::function<void()> wake_;
};

// While it lives, work posted to the creating thread's queue is served by `mainThread`'s loop (the creating
// thread must be that main thread).
class ScopedQueueServing {
  public:
    ScopedQueueServing() = default;
    ~ScopedQueueServing();
    ScopedQueueServing(const ScopedQueueServing&) = delete;
    ScopedQueueServing& operator=(const ScopedQueueServing&) = delete;
    void ServeThrough(MainThread& mainThread);

  private:
    std::shared_ptr<MessageQueue> queue_;
};

// A manual- or auto-reset event, waitable with WaitWithMessages.
class WaitableEvent {
  public:
    explicit WaitableEvent(bool manualReset = true, bool initiallySet = false)
        : manual_(manualReset), set_(initiallySet) {}
    void Set();
    void Reset();
    // True when set; an auto-reset event is reset by a successful try.
    bool TryWait();

  private:
    std::mutex mutex_;
    bool manual_;
    bool set_;
};

inline constexpr int WAIT_OBJECT_0 = 0;
inline constexpr int WAIT_TIMEOUT = 258;

// Waits until `event` is set or `timeoutMs` (-1: no limit) has passed, serving the calling thread's messages
// meanwhile. WAIT_OBJECT_0 or WAIT_TIMEOUT.
int WaitWithMessages(WaitableEvent& event, int timeoutMs);

}  // namespace tolm

#include "audio/MessageQueue.h"

#include <chrono>

namespace tolm {

namespace {
// Waiters re-check conditions that change without a message (an event set by another thread) this often.
constexpr auto kRecheck = std::chrono::milliseconds(2);
}  // namespace

std::shared_ptr<MessageQueue> MessageQueue::OfCurrentThread() {
    thread_local std::shared_ptr<MessageQueue> queue = std::make_shared<MessageQueue>();
    return queue;
}

void MessageQueue::Post(std::function<void()> message) {
    std::function<void()> wake;
    {
        std::lock_guard lock(mutex_);
        items_.push_back(Item{std::move(message), false});
        wake = wake_;
    }
    changed_.notify_all();
    if (wake) wake();
}

void MessageQueue::PostQuit() {
    std::function<void()> wake;
    {
        std::lock_guard lock(mutex_);
        items_.push_back(Item{{}, true});
        wake = wake_;
    }
    changed_.notify_all();
    if (wake) wake();
}

void MessageQueue::SetWakeHandler(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
}

bool MessageQueue::RunOne(Item& item) {
    if (item.quit) return false;
    if (item.fn) item.fn();
    return true;
}

bool MessageQueue::DispatchPending() {
    std::deque<Item> now;
    {
        std::lock_guard lock(mutex_);
        now.swap(items_);
    }
    while (!now.empty()) {
        Item item = std::move(now.front());
        now.pop_front();
        if (!RunOne(item)) {
            // Whatever followed the quit stays queued for a later serving loop.
            std::lock_guard lock(mutex_);
            items_.insert(items_.begin(), std::make_move_iterator(now.begin()), std::make_move_iterator(now.end()));
            return false;
        }
    }
    return true;
}

bool MessageQueue::WaitAndDispatch() {
    Item item;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !items_.empty(); });
        item = std::move(items_.front());
        items_.pop_front();
    }
    return RunOne(item);
}

bool MessageQueue::ServeUntil(const std::function<bool()>& done, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        if (done()) return true;
        DispatchPending();
        if (done()) return true;
        auto until = Clock::now() + kRecheck;
        if (timeoutMs >= 0) {
            if (Clock::now() >= deadline) return false;
            until = std::min(until, deadline);
        }
        std::unique_lock lock(mutex_);
        changed_.wait_until(lock, until, [&] { return !items_.empty(); });
    }
}

void ScopedQueueServing::ServeThrough(MainThread& mainThread) {
    queue_ = MessageQueue::OfCurrentThread();
    MainThread* loop = &mainThread;
    queue_->SetWakeHandler([loop] { loop->Post([] { MessageQueue::OfCurrentThread()->DispatchPending(); }); });
}

ScopedQueueServing::~ScopedQueueServing() {
    if (queue_) queue_->SetWakeHandler(nullptr);
}

void WaitableEvent::Set() {
    std::lock_guard lock(mutex_);
    set_ = true;
}

void WaitableEvent::Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool WaitableEvent::TryWait() {
    std::lock_guard lock(mutex_);
    if (!set_) return false;
    if (!manual_) set_ = false;
    return true;
}

int WaitWithMessages(WaitableEvent& event, int timeoutMs) {
    const bool signalled = MessageQueue::OfCurrentThread()->ServeUntil([&] { return event.TryWait(); }, timeoutMs);
    return signalled ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

}  // namespace tolm

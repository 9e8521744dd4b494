#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/EventLoop.h"
#include "platform/fake/FakeHost.h"
#include "selection/HighTimer.h"

namespace tolm::test {

using namespace std::chrono_literals;

// Generous: the machine is shared and slow; no test waits this long unless it fails.
inline constexpr std::chrono::milliseconds kPatience = 20s;

// Counts ticks from any thread; waits, bounded, for a number of them.
class TickCounter {
  public:
    // Notifies under the lock: a waiter may destroy the counter as soon as it sees the count.
    void Add() {
        std::lock_guard lock(mutex_);
        ++count_;
        changed_.notify_all();
    }
    int Value() const {
        std::lock_guard lock(mutex_);
        return count_;
    }
    bool WaitFor(int atLeast) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kPatience, [&] { return count_ >= atLeast; });
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

// Waits for a condition another thread brings about and cannot signal, checking every millisecond.
inline bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The real event loop, counting the work handed to it, so a test can tell how many periodic ticks arrived.
class CountingMainThread final : public MainThread {
  public:
    explicit CountingMainThread(EventLoop& loop) : loop_(loop) {}
    void Post(std::function<void()> fn) override {
        ++posts_;
        loop_.Post(std::move(fn));
    }
    bool Invoke(std::function<void()> fn) override { return loop_.Invoke(std::move(fn)); }
    bool IsMainThread() const override { return loop_.IsMainThread(); }
    void RunModal(const std::function<bool()>& finished) override { loop_.RunModal(finished); }
    int Posts() const { return posts_.load(); }

  private:
    EventLoop& loop_;
    std::atomic<int> posts_{0};
};

struct TimerTest : ::testing::Test {
    EventLoop loop;
    FakeHost host;
    std::unique_ptr<THighTimer> timer = std::make_unique<THighTimer>(loop, host);

    static void Ignore(THighTimer&) {}
};

}  // namespace tolm::test

#include "TimerTestSupport.h"

namespace tolm::test {
namespace {

using TimerLifetime = TimerTest;

enum class Mode { synchronized, onWorker, multimedia };

void Configure(THighTimer& timer, Mode mode) {
    timer.SetInterval(1);
    timer.SetSynchronize(mode == Mode::synchronized);
    timer.SetUseThread(mode != Mode::multimedia);
}

TEST_F(TimerLifetime, ManyTimersDestroyedWhileTickingLeaveNothingBehind) {
    std::atomic<int> ticks{0};
    for (int i = 0; i < 300; ++i) {
        auto t = std::make_unique<THighTimer>(loop, host);
        Configure(*t, static_cast<Mode>(i % 3));
        t->SetOnTimer([&](THighTimer& sender) {
            ++ticks;
            sender.SetInterval(1 + ticks % 3);  // a restart from inside the tick
        });
        t->SetEnabled(true);
        if (i % 2 == 0) loop.ProcessPending();
        if (i % 7 == 0) std::this_thread::yield();
    }
    const int before = ticks.load();
    loop.ProcessPending();  // ticks still queued for timers that are gone
    EXPECT_EQ(ticks.load(), before);
    EXPECT_TRUE(host.Notices().empty());
}

TEST_F(TimerLifetime, DestroyedOnTheMainThreadWhileItsWorkerWaitsForTheMainThread) {
    int ticks = 0;
    timer->SetInterval(1);
    timer->SetOnTimer([&](THighTimer&) { ++ticks; });
    timer->SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return loop.PendingCount() >= 1; }));

    timer.reset();  // must not wait for the main thread, which is this one
    loop.ProcessPending();
    EXPECT_EQ(ticks, 0);
}

TEST_F(TimerLifetime, TickDroppedByAQuittingLoopNeverRuns) {
    int ticks = 0;
    timer->SetInterval(1);
    timer->SetOnTimer([&](THighTimer&) { ++ticks; });
    timer->SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return loop.PendingCount() >= 1; }));

    loop.Quit();  // drops the handed-over tick: the worker ends as at the end of the program
    timer.reset();
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(host.Notices().empty());
}

TEST_F(TimerLifetime, HandlerMayDestroyItsTimerOnTheMainThread) {
    for (Mode mode : {Mode::synchronized, Mode::multimedia}) {
        timer = std::make_unique<THighTimer>(loop, host);
        Configure(*timer, mode);
        int ticks = 0;
        timer->SetOnTimer([&](THighTimer&) {
            ++ticks;
            timer.reset();
        });
        timer->SetEnabled(true);
        ASSERT_TRUE(loop.RunUntil([&] { return timer == nullptr; }, kPatience));
        loop.ProcessPending();
        EXPECT_EQ(ticks, 1);
    }
}

TEST_F(TimerLifetime, HandlerMayDestroyItsTimerOnTheWorker) {
    TickCounter destroyed;
    THighTimer* raw = timer.release();
    Configure(*raw, Mode::onWorker);
    raw->SetOnTimer([&](THighTimer& sender) {
        delete &sender;
        destroyed.Add();
    });
    raw->SetEnabled(true);
    ASSERT_TRUE(destroyed.WaitFor(1));
    EXPECT_EQ(destroyed.Value(), 1);
}

TEST_F(TimerLifetime, DestructionWaitsForATickRunningOnTheWorker) {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;
    bool finished = false;
    Configure(*timer, Mode::onWorker);
    timer->SetOnTimer([&](THighTimer& sender) {
        std::unique_lock lock(mutex);
        if (entered) return;
        entered = true;
        changed.notify_all();
        changed.wait(lock, [&] { return released; });
        (void)sender.Interval();  // the timer must still be alive here
        finished = true;
    });
    timer->SetEnabled(true);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, kPatience, [&] { return entered; }));
    }
    // Released a little later from elsewhere, most likely while the destructor below already waits.
    std::thread releaser([&] {
        std::this_thread::sleep_for(20ms);
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    });
    timer.reset();
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(finished);
    }
    releaser.join();
}

}  // namespace
}  // namespace tolm::test

#include <stdexcept>
#include <string>

#include "TimerTestSupport.h"
#include "support/TestSystem.h"

namespace tolm::test {
namespace {

using TimerTicks = TimerTest;

TEST_F(TimerTicks, SynchronizedTicksRunOnTheMainThreadWithTheTimerAsSender) {
    int ticks = 0;
    bool allOnMain = true;
    bool senderIsTimer = true;
    timer->SetInterval(1);
    timer->SetOnTimer([&](THighTimer& sender) {
        ++ticks;
        allOnMain = allOnMain && loop.IsMainThread();
        senderIsTimer = senderIsTimer && &sender == timer.get();
    });
    timer->SetEnabled(true);

    ASSERT_TRUE(loop.RunUntil([&] { return ticks >= 3; }, kPatience));
    EXPECT_TRUE(allOnMain);
    EXPECT_TRUE(senderIsTimer);
}

TEST_F(TimerTicks, UnsynchronizedTicksRunOnTheNamedWorker) {
    TickCounter ticks;
    std::atomic<bool> anyOnMain{false};
    std::mutex nameMutex;
    std::string workerName;
    timer->SetInterval(1);
    timer->SetSynchronize(false);
    timer->SetOnTimer([&](THighTimer&) {
        if (loop.IsMainThread()) anyOnMain = true;
        {
            std::lock_guard lock(nameMutex);
            workerName = CurrentThreadName();
        }
        ticks.Add();
    });
    timer->SetEnabled(true);

    ASSERT_TRUE(ticks.WaitFor(3));
    EXPECT_FALSE(anyOnMain);
    std::lock_guard lock(nameMutex);
    EXPECT_EQ(workerName, "tolm-hightimer");
}

TEST_F(TimerTicks, SynchronizeTakesEffectAtTheNextTickWithoutRestart) {
    TickCounter ticks;
    std::atomic<int> mainTicks{0};
    std::atomic<int> workerTicks{0};
    timer->SetInterval(1);
    timer->SetOnTimer([&](THighTimer& sender) {
        if (loop.IsMainThread()) {
            ++mainTicks;
            sender.SetSynchronize(false);
        } else {
            ++workerTicks;
        }
        ticks.Add();
    });
    timer->SetEnabled(true);

    ASSERT_TRUE(loop.RunUntil([&] { return ticks.Value() >= 1; }, kPatience));
    ASSERT_TRUE(ticks.WaitFor(3));  // the loop no longer runs: later ticks can only come from the worker
    EXPECT_EQ(mainTicks.load(), 1);
    EXPECT_GE(workerTicks.load(), 2);
    EXPECT_EQ(timer->StartCount(), 1u);
}

TEST_F(TimerTicks, StoppedWorkerDropsTheTickItHandedToTheMainThread) {
    int ticks = 0;
    timer->SetInterval(1);
    timer->SetOnTimer([&](THighTimer&) { ++ticks; });
    timer->SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return loop.PendingCount() >= 1; }));

    timer->SetEnabled(false);
    loop.ProcessPending();
    EXPECT_EQ(ticks, 0);
}

TEST_F(TimerTicks, ErrorInAThreadTickIsShownAndARestartTicksAgain) {
    int ticks = 0;
    timer->SetInterval(1);
    timer->SetOnTimer([&](THighTimer&) {
        if (++ticks == 1) throw std::runtime_error("tick failed");
    });
    timer->SetEnabled(true);

    ASSERT_TRUE(loop.RunUntil([&] { return !host.Notices().empty(); }, kPatience));
    EXPECT_EQ(host.Notices().front().text, "tick failed");
    EXPECT_EQ(host.Notices().front().icon, NoticeIcon::error);

    timer->SetInterval(2);
    EXPECT_TRUE(loop.RunUntil([&] { return ticks >= 3; }, kPatience));
    EXPECT_EQ(host.Notices().size(), 1u);
}

TEST_F(TimerTicks, MultimediaTicksRunOnTheMainThread) {
    int ticks = 0;
    bool allOnMain = true;
    timer->SetUseThread(false);
    timer->SetInterval(1);
    timer->SetOnTimer([&](THighTimer&) {
        ++ticks;
        allOnMain = allOnMain && loop.IsMainThread();
    });
    timer->SetEnabled(true);

    ASSERT_TRUE(loop.RunUntil([&] { return ticks >= 3; }, kPatience));
    EXPECT_TRUE(allOnMain);
    EXPECT_FALSE(timer->Busy());
}

struct MultimediaTimer : ::testing::Test {
    EventLoop loop;
    CountingMainThread mainThread{loop};
    FakeHost host;
    THighTimer timer{mainThread, host};

    void Start(THighTimer::TNotifyEvent handler) {
        timer.SetUseThread(false);
        timer.SetInterval(1);
        timer.SetOnTimer(std::move(handler));
        timer.SetEnabled(true);
    }
};

TEST_F(MultimediaTimer, TicksArrivingWhileOneIsDeliveredAreDropped) {
    int ticks = 0;
    int ticksSeenInsideFirst = -1;
    bool busyInsideFirst = false;
    Start([&](THighTimer& sender) {
        if (++ticks > 1) return;
        // A modal loop inside the tick: the periodic event keeps posting meanwhile.
        const int posted = mainThread.Posts();
        loop.RunUntil([&] { return mainThread.Posts() >= posted + 3 && loop.PendingCount() == 0; }, kPatience);
        ticksSeenInsideFirst = ticks;
        busyInsideFirst = sender.Busy();
    });

    ASSERT_TRUE(loop.RunUntil([&] { return ticksSeenInsideFirst >= 0; }, kPatience));
    EXPECT_EQ(ticksSeenInsideFirst, 1);
    EXPECT_TRUE(busyInsideFirst);
    EXPECT_TRUE(loop.RunUntil([&] { return ticks >= 3; }, kPatience));
}

TEST_F(MultimediaTimer, ErrorInATickKeepsBusySetUntilTheNextRestart) {
    int ticks = 0;
    Start([&](THighTimer&) {
        if (++ticks == 1) throw std::runtime_error("tick failed");
    });

    ASSERT_TRUE(loop.RunUntil([&] { return ticks >= 1; }, kPatience));
    const int posted = mainThread.Posts();
    ASSERT_TRUE(loop.RunUntil([&] { return mainThread.Posts() >= posted + 3; }, kPatience));
    loop.ProcessPending();
    EXPECT_EQ(ticks, 1);
    EXPECT_TRUE(timer.Busy());
    ASSERT_EQ(host.Notices().size(), 1u);
    EXPECT_EQ(host.Notices().front().text, "tick failed");

    timer.SetInterval(2);
    EXPECT_FALSE(timer.Busy());
    EXPECT_TRUE(loop.RunUntil([&] { return ticks >= 3; }, kPatience));
}

TEST_F(MultimediaTimer, TicksOfAKilledEventAreNotDelivered) {
    int ticks = 0;
    Start([&](THighTimer&) { ++ticks; });
    const int posted = mainThread.Posts();
    ASSERT_TRUE(WaitUntil([&] { return mainThread.Posts() >= posted + 2; }));

    timer.SetEnabled(false);
    loop.ProcessPending();
    EXPECT_EQ(ticks, 0);
}

}  // namespace
}  // namespace tolm::test

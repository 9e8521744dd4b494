// The timer's worker takes its priority as POSIX gives it: as the thread's nice value.
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>

#include "unit/selection/TimerTestSupport.h"

namespace tolm::test {
namespace {

using TimerProperties = TimerTest;

TEST_F(TimerProperties, PriorityWrittenInMultimediaModeIsKeptForThreadModeWithoutRestart) {
    const int processNice = getpriority(PRIO_PROCESS, 0);
    if (processNice > 5) GTEST_SKIP() << "the process already runs below tpLower";

    timer->SetUseThread(false);
    timer->SetInterval(1);
    timer->SetSynchronize(false);
    std::atomic<int> workerNice{-100};
    TickCounter ticks;
    timer->SetOnTimer([&](THighTimer&) {
        if (!loop.IsMainThread()) workerNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        ticks.Add();
    });
    timer->SetEnabled(true);
    const std::uint32_t event = timer->EventId();
    ASSERT_NE(event, 0u);

    timer->SetThreadPriority(TThreadPriority::tpLower);
    EXPECT_EQ(timer->ThreadPriority(), TThreadPriority::tpLower);
    EXPECT_EQ(timer->EventId(), event);
    EXPECT_EQ(timer->StartCount(), 1u);

    timer->SetUseThread(true);
    ASSERT_TRUE(ticks.WaitFor(1));
    EXPECT_EQ(workerNice.load(), 5);  // tpLower
}

}  // namespace
}  // namespace tolm::test

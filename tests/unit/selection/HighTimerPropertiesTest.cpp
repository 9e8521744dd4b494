#include <cstdint>

#include "TimerTestSupport.h"

namespace tolm::test {
namespace {

using TimerProperties = TimerTest;

TEST_F(TimerProperties, FreshTimerIsIdleWithTheDocumentedDefaults) {
    EXPECT_FALSE(timer->Enabled());
    EXPECT_EQ(timer->Interval(), 1000u);
    EXPECT_FALSE(timer->OnTimer());
    EXPECT_TRUE(timer->Synchronize());
    EXPECT_TRUE(timer->UseThread());
    EXPECT_EQ(timer->ThreadPriority(), TThreadPriority::tpNormal);
    EXPECT_EQ(timer->PeriodMin(), 1u);
    EXPECT_EQ(timer->PeriodMax(), 1000000u);
    EXPECT_FALSE(timer->Busy());
    EXPECT_FALSE(timer->HasWorker());
    EXPECT_EQ(timer->EventId(), 0u);
    EXPECT_EQ(timer->StartCount(), 0u);
}

TEST_F(TimerProperties, IntervalIsClampedToTheSupportedPeriods) {
    timer->SetInterval(0);
    EXPECT_EQ(timer->Interval(), timer->PeriodMin());
    timer->SetInterval(timer->PeriodMax() + 1);
    EXPECT_EQ(timer->Interval(), timer->PeriodMax());
    timer->SetInterval(UINT32_MAX);
    EXPECT_EQ(timer->Interval(), timer->PeriodMax());
    timer->SetInterval(timer->PeriodMax());
    EXPECT_EQ(timer->Interval(), timer->PeriodMax());
}

TEST_F(TimerProperties, OnlyWritesThatChangeTheStateRestartTheTimer) {
    timer->SetOnTimer(Ignore);
    timer->SetEnabled(true);
    ASSERT_EQ(timer->StartCount(), 1u);

    timer->SetInterval(1000);
    timer->SetEnabled(true);
    timer->SetUseThread(true);
    timer->SetThreadPriority(TThreadPriority::tpNormal);
    timer->SetSynchronize(false);
    EXPECT_EQ(timer->StartCount(), 1u);

    timer->SetInterval(500);
    EXPECT_EQ(timer->StartCount(), 2u);
    timer->SetThreadPriority(TThreadPriority::tpLower);
    EXPECT_EQ(timer->StartCount(), 3u);
    timer->SetOnTimer(Ignore);  // assigning the handler always restarts
    EXPECT_EQ(timer->StartCount(), 4u);
    EXPECT_TRUE(timer->HasWorker());

    timer->SetEnabled(false);
    EXPECT_FALSE(timer->HasWorker());
    EXPECT_EQ(timer->StartCount(), 4u);
}

TEST_F(TimerProperties, WorkerSleepsTheLow16BitsOfTheInterval) {
    timer->SetInterval(70000);
    timer->SetOnTimer(Ignore);
    timer->SetEnabled(true);
    EXPECT_EQ(timer->Interval(), 70000u);
    EXPECT_EQ(timer->WorkerInterval(), 4464);

    timer->SetInterval(250);
    EXPECT_EQ(timer->WorkerInterval(), 250);

    timer->SetInterval(131072);  // low 16 bits are 0: no spinning worker
    EXPECT_EQ(timer->WorkerInterval(), 1);
}

TEST_F(TimerProperties, EnabledWithoutHandlerStartsNothingUntilTheHandlerArrives) {
    timer->SetEnabled(true);
    EXPECT_FALSE(timer->HasWorker());
    EXPECT_EQ(timer->StartCount(), 0u);

    timer->SetOnTimer(Ignore);
    EXPECT_TRUE(timer->HasWorker());
    EXPECT_EQ(timer->WorkerInterval(), 1000);

    timer->SetOnTimer(nullptr);
    EXPECT_FALSE(timer->HasWorker());
}

TEST_F(TimerProperties, EnabledWithoutHandlerStartsNoEventInMultimediaMode) {
    timer->SetUseThread(false);
    timer->SetEnabled(true);
    EXPECT_EQ(timer->EventId(), 0u);

    timer->SetOnTimer(Ignore);
    EXPECT_NE(timer->EventId(), 0u);
    EXPECT_FALSE(timer->HasWorker());
}

TEST_F(TimerProperties, SwitchingModesReplacesTheWorkerWithAnEventAndBack) {
    timer->SetOnTimer(Ignore);
    timer->SetEnabled(true);
    ASSERT_TRUE(timer->HasWorker());

    timer->SetUseThread(false);
    EXPECT_FALSE(timer->HasWorker());
    const std::uint32_t firstEvent = timer->EventId();
    EXPECT_NE(firstEvent, 0u);

    timer->SetInterval(20);  // a restart makes a new event
    EXPECT_NE(timer->EventId(), 0u);
    EXPECT_NE(timer->EventId(), firstEvent);

    timer->SetUseThread(true);
    EXPECT_TRUE(timer->HasWorker());
    EXPECT_EQ(timer->EventId(), 0u);
}

}  // namespace
}  // namespace tolm::test

// Priorities as Windows keeps them: its own levels within the process's priority class, by thread id.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "platform/ThreadPriority.h"

namespace tolm {
namespace {

TEST(ThreadPriority, StepsBecomeWindowsLevelsOfTheAddressedThread) {
    const int mainLevel = ::GetThreadPriority(::GetCurrentThread());
    std::thread([] {
        const SystemThreadId self = CurrentSystemThreadId();
        EXPECT_TRUE(SetThreadPriority(self, TThreadPriority::tpLower));
        EXPECT_EQ(::GetThreadPriority(::GetCurrentThread()), THREAD_PRIORITY_BELOW_NORMAL);
        EXPECT_TRUE(SetThreadPriority(self, TThreadPriority::tpTimeCritical));
        EXPECT_EQ(::GetThreadPriority(::GetCurrentThread()), THREAD_PRIORITY_TIME_CRITICAL);
        EXPECT_TRUE(SetThreadPriority(self, TThreadPriority::tpIdle));
        EXPECT_EQ(::GetThreadPriority(::GetCurrentThread()), THREAD_PRIORITY_IDLE);
    }).join();
    EXPECT_EQ(::GetThreadPriority(::GetCurrentThread()), mainLevel);
}

TEST(ThreadPriority, UnknownThreadsAndPrioritiesAreRefused) {
    EXPECT_FALSE(SetThreadPriority(0, TThreadPriority::tpLowest));
    EXPECT_FALSE(SetThreadPriority(-1, TThreadPriority::tpLowest));
    EXPECT_FALSE(SetThreadPriority(CurrentSystemThreadId(), static_cast<TThreadPriority>(7)));
}

}  // namespace
}  // namespace tolm

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "platform/ThreadPriority.h"

namespace tolm {
namespace {

int NiceOf(SystemThreadId thread) {
    return getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
}

// Priorities are changed on threads of their own: a lowered priority cannot always be raised again.
template <typename Body>
void OnFreshThread(Body body) {
    std::thread thread(body);
    thread.join();
}

TEST(ThreadPriority, LowerPrioritiesMapToHigherNiceValues) {
    if (getpriority(PRIO_PROCESS, 0) > 5) GTEST_SKIP() << "the process already runs below tpLower";
    OnFreshThread([] {
        const SystemThreadId self = CurrentSystemThreadId();
        EXPECT_TRUE(SetThreadPriority(self, TThreadPriority::tpLower));
        EXPECT_EQ(NiceOf(self), 5);
        EXPECT_TRUE(SetThreadPriority(self, TThreadPriority::tpLowest));
        EXPECT_EQ(NiceOf(self), 10);
        EXPECT_TRUE(SetThreadPriority(self, TThreadPriority::tpIdle));
        EXPECT_EQ(NiceOf(self), 19);
    });
}

TEST(ThreadPriority, ARaiseIsEitherTakenOrChangesNothing) {
    OnFreshThread([] {
        const SystemThreadId self = CurrentSystemThreadId();
        ASSERT_TRUE(SetThreadPriority(self, TThreadPriority::tpIdle));
        // Without the privilege to raise priorities the system refuses; with it the value is taken.
        if (SetThreadPriority(self, TThreadPriority::tpHighest))
            EXPECT_EQ(NiceOf(self), -10);
        else
            EXPECT_EQ(NiceOf(self), 19);
    });
}

TEST(ThreadPriority, AnotherThreadIsAddressedByItsId) {
    if (getpriority(PRIO_PROCESS, 0) > 10) GTEST_SKIP() << "the process already runs below tpLowest";
    const SystemThreadId mainThread = CurrentSystemThreadId();
    const int mainNice = NiceOf(mainThread);
    // The main thread's id is the process id; every other thread has an id of its own.
    EXPECT_EQ(mainThread, static_cast<SystemThreadId>(getpid()));
    SystemThreadId workerId = 0;
    std::mutex mutex;
    std::condition_variable changed;
    bool idKnown = false;
    bool prioritySet = false;
    int workerNice = -100;
    std::thread worker([&] {
        std::unique_lock lock(mutex);
        workerId = CurrentSystemThreadId();
        idKnown = true;
        changed.notify_all();
        changed.wait(lock, [&] { return prioritySet; });
        workerNice = NiceOf(CurrentSystemThreadId());
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return idKnown; });
        EXPECT_NE(workerId, mainThread);
        EXPECT_TRUE(SetThreadPriority(workerId, TThreadPriority::tpLowest));
        prioritySet = true;
        changed.notify_all();
    }
    worker.join();
    EXPECT_EQ(workerNice, 10);
    EXPECT_EQ(NiceOf(mainThread), mainNice);  // only the addressed thread changed
}

TEST(ThreadPriority, UnknownThreadsAndPrioritiesAreRefused) {
    long pidMax = 0;
    std::ifstream("/proc/sys/kernel/pid_max") >> pidMax;
    ASSERT_GT(pidMax, 0);
    EXPECT_FALSE(SetThreadPriority(pidMax, TThreadPriority::tpLowest));  // ids stay below pid_max
    EXPECT_FALSE(SetThreadPriority(0, TThreadPriority::tpLowest));       // 0 would mean the caller
    EXPECT_FALSE(SetThreadPriority(-1, TThreadPriority::tpLowest));
    OnFreshThread([] {
        const SystemThreadId self = CurrentSystemThreadId();
        const int before = NiceOf(self);
        EXPECT_FALSE(SetThreadPriority(self, static_cast<TThreadPriority>(7)));
        EXPECT_EQ(NiceOf(self), before);
    });
}

}  // namespace
}  // namespace tolm

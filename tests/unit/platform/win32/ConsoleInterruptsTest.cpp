// The user's interrupts on Windows: Ctrl+C reaches the watcher, counted, instead of ending the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/Console.h"

namespace tolm {
namespace {

TEST(InterruptWatcher, EachCtrlCReachesTheWatcherCounted) {
    // A console of the test's own: the event goes to every program on the console, the one that started the
    // tests included.
    ::FreeConsole();
    ASSERT_TRUE(::AllocConsole()) << ::GetLastError();
    ::SetConsoleCtrlHandler(nullptr, FALSE);  // Ctrl+C on, whatever the parent chose
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<int> counts;
    const auto heard = [&](std::size_t n) {
        std::unique_lock lock(mutex);
        // A guard against a hang, not a measure: the events arrive at once.
        return arrived.wait_for(lock, std::chrono::seconds(30), [&] { return counts.size() >= n; });
    };
    {
        const InterruptWatcher watcher([&](int count) {
            std::lock_guard lock(mutex);
            counts.push_back(count);
            arrived.notify_all();
        });
        for (std::size_t n = 1; n <= 2; ++n) {
            ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << ::GetLastError();
            ASSERT_TRUE(heard(n));
        }
    }
    EXPECT_EQ(counts, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace tolm

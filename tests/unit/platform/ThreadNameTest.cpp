#include <gtest/gtest.h>

#include <thread>

#include "platform/ThreadPriority.h"
#include "support/TestSystem.h"

namespace tolm {
namespace {

TEST(ThreadNames, AreKeptToFifteenCharacters) {
    std::thread([] {
        SetCurrentThreadName("tolm-worker");
        EXPECT_EQ(CurrentThreadName(), "tolm-worker");
        SetCurrentThreadName("tolm-a-very-long-thread-name");
        EXPECT_EQ(CurrentThreadName(), "tolm-a-very-lon");
    }).join();
}

}  // namespace
}  // namespace tolm

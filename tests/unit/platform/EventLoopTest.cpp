#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/EventLoop.h"

namespace tolm {
namespace {

using namespace std::chrono_literals;
constexpr auto kPatience = 20s;

bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(EventLoop, PostedWorkRunsInOrderOnTheLoopThreadUntilQuit) {
    EventLoop loop;
    std::vector<int> order;
    bool allOnMain = true;
    std::thread poster([&] {
        for (int i = 1; i <= 3; ++i)
            loop.Post([&, i] {
                order.push_back(i);
                allOnMain = allOnMain && loop.IsMainThread();
            });
        loop.Post([&] { loop.Quit(); });
    });
    loop.Run();
    poster.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(allOnMain);
    EXPECT_TRUE(loop.HasQuit());
}

TEST(EventLoop, ProcessPendingRunsOnlyWhatWasQueuedAtTheCall) {
    EventLoop loop;
    int ran = 0;
    loop.Post([&] {
        ++ran;
        loop.Post([&] { ++ran; });
    });
    EXPECT_EQ(loop.ProcessPending(), 1u);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(loop.ProcessPending(), 1u);
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(loop.ProcessPending(), 0u);
}

TEST(EventLoop, ProcessPendingNestsInsidePostedWork) {
    EventLoop loop;
    std::vector<int> order;
    loop.Post([&] {
        order.push_back(1);
        loop.ProcessPending();  // a modal loop
        order.push_back(3);
    });
    loop.Post([&] { order.push_back(2); });
    loop.ProcessPending();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(EventLoop, InvokeFromAnotherThreadRunsOnTheMainThreadAndWaits) {
    EventLoop loop;
    std::atomic<bool> returned{false};
    bool result = false;
    int value = 0;
    bool ranOnMain = false;
    std::thread worker([&] {
        result = loop.Invoke([&] {
            ranOnMain = loop.IsMainThread();
            value = 42;
        });
        EXPECT_EQ(value, 42);  // visible as soon as Invoke returns
        returned = true;
        loop.Wake();
    });
    ASSERT_TRUE(loop.RunUntil([&] { return returned.load(); }, kPatience));
    worker.join();
    EXPECT_TRUE(result);
    EXPECT_TRUE(ranOnMain);
}

TEST(EventLoop, InvokeOnTheMainThreadRunsAtOnce) {
    EventLoop loop;
    int ran = 0;
    EXPECT_TRUE(loop.Invoke([&] { ++ran; }));
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(loop.PendingCount(), 0u);
}

TEST(EventLoop, TheThreadRunningTheLoopBecomesTheMainThread) {
    EventLoop loop;
    std::thread runner([&] { loop.Run(); });
    ASSERT_TRUE(WaitUntil([&] { return !loop.IsMainThread(); }));  // until then the creating thread is main
    bool ranOnMain = false;
    std::thread::id ranOn;
    ASSERT_TRUE(loop.Invoke([&] {
        ranOnMain = loop.IsMainThread();
        ranOn = std::this_thread::get_id();
    }));
    EXPECT_TRUE(ranOnMain);
    EXPECT_EQ(ranOn, runner.get_id());
    loop.Quit();
    runner.join();
}

TEST(EventLoop, AfterQuitNothingRunsAndInvokeAnswersFalse) {
    EventLoop loop;
    int ran = 0;
    loop.Post([&] { ++ran; });
    loop.Quit();
    loop.Post([&] { ++ran; });
    EXPECT_EQ(loop.PendingCount(), 0u);
    EXPECT_FALSE(loop.Invoke([&] { ++ran; }));
    bool fromWorker = true;
    std::thread worker([&] { fromWorker = loop.Invoke([&] { ++ran; }); });
    worker.join();
    EXPECT_FALSE(fromWorker);
    EXPECT_EQ(loop.ProcessPending(), 0u);
    loop.Run();  // returns at once
    EXPECT_EQ(ran, 0);
}

TEST(EventLoop, InvokeWaitingWhenTheLoopQuitsIsAnsweredFalse) {
    EventLoop loop;
    std::atomic<int> ran{0};
    bool result = true;
    std::thread worker([&] { result = loop.Invoke([&] { ++ran; }); });
    ASSERT_TRUE(WaitUntil([&] { return loop.PendingCount() == 1; }));
    loop.Quit();
    worker.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(ran.load(), 0);
}

TEST(EventLoop, InvokeWaitingWhenTheLoopIsDestroyedIsAnsweredFalse) {
    auto loop = std::make_unique<EventLoop>();
    std::atomic<int> ran{0};
    bool result = true;
    std::thread worker([&] { result = loop->Invoke([&] { ++ran; }); });
    ASSERT_TRUE(WaitUntil([&] { return loop->PendingCount() == 1; }));
    loop.reset();
    worker.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(ran.load(), 0);
}

TEST(EventLoop, InvokedWorkThatQuitsTheLoopStillCountsAsRun) {
    EventLoop loop;
    std::atomic<int> ranSecond{0};
    bool first = false;
    bool second = true;
    std::thread worker([&] { first = loop.Invoke([&] { loop.Quit(); }); });
    ASSERT_TRUE(WaitUntil([&] { return loop.PendingCount() == 1; }));
    std::thread other([&] { second = loop.Invoke([&] { ++ranSecond; }); });
    ASSERT_TRUE(WaitUntil([&] { return loop.PendingCount() == 2; }));
    loop.Run();
    worker.join();
    other.join();
    EXPECT_TRUE(first);
    EXPECT_FALSE(second);
    EXPECT_EQ(ranSecond.load(), 0);
}

TEST(EventLoop, ErrorsReachWhoeverWaitsForTheWork) {
    EventLoop loop;
    std::thread worker([&] {
        EXPECT_THROW(loop.Invoke([] { throw std::runtime_error("invoked"); }), std::runtime_error);
        loop.Post([&] { loop.Quit(); });
    });
    loop.Run();
    worker.join();

    EventLoop second;
    int ran = 0;
    second.Post([] { throw std::logic_error("posted"); });
    second.Post([&] { ++ran; });
    EXPECT_THROW(second.ProcessPending(), std::logic_error);
    EXPECT_EQ(second.ProcessPending(), 1u);  // the loop goes on
    EXPECT_EQ(ran, 1);
}

TEST(EventLoop, RunUntilEndsAtTheTimeoutOrWhenWoken) {
    EventLoop loop;
    EXPECT_FALSE(loop.RunUntil([] { return false; }, 5ms));

    std::atomic<bool> flag{false};
    std::thread setter([&] {
        flag = true;  // no work posted: only the wake tells the loop to look again
        loop.Wake();
    });
    EXPECT_TRUE(loop.RunUntil([&] { return flag.load(); }, kPatience));
    setter.join();
}

}  // namespace
}  // namespace tolm

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/QtMainThread.h"

namespace tolm {
namespace {

TEST(QtMainThread, PostedWorkRunsInOrderOnTheMainThread) {
    QtMainThread main;
    std::vector<int> order;
    bool allOnMain = true;
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            main.Post([&, i] {
                order.push_back(i);
                allOnMain = allOnMain && main.IsMainThread();
            });
    });
    worker.join();
    EXPECT_TRUE(order.empty());  // nothing runs before the loop turns
    main.RunModal([&] { return order.size() == 50; });
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(allOnMain);
}

TEST(QtMainThread, InvokeFromAWorkerWaitsForTheResult) {
    QtMainThread main;
    EXPECT_TRUE(main.IsMainThread());
    std::atomic<bool> workerDone{false};
    bool ranOnMain = false;
    int value = 0;
    bool answered = false;
    bool workerIsMain = true;
    std::thread worker([&] {
        workerIsMain = main.IsMainThread();
        answered = main.Invoke([&] {
            ranOnMain = main.IsMainThread();
            value = 42;
        });
        // The work has run by the time Invoke returns.
        EXPECT_EQ(value, 42);
        workerDone = true;
        main.Post([] {});  // wakes the loop to see workerDone
    });
    main.RunModal([&] { return workerDone.load(); });
    worker.join();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(ranOnMain);
    EXPECT_FALSE(workerIsMain);
}

TEST(QtMainThread, InvokeHandsTheExceptionToTheCaller) {
    QtMainThread main;
    std::atomic<bool> done{false};
    bool caught = false;
    std::thread worker([&] {
        try {
            main.Invoke([] { throw std::runtime_error("no"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
        done = true;
        main.Post([] {});
    });
    main.RunModal([&] { return done.load(); });
    worker.join();
    EXPECT_TRUE(caught);
}

TEST(QtMainThread, RunModalEndsWhenPostedWorkMakesThePredicateTrue) {
    QtMainThread main;
    bool finished = false;
    int checksAfter = 0;
    main.Post([&] { finished = true; });
    main.Post([&] { ++checksAfter; });  // runs in the same batch; the loop then stops before waiting
    main.RunModal([&] { return finished; });
    EXPECT_TRUE(finished);
    // A predicate true on entry returns without running anything.
    int ran = 0;
    main.Post([&] { ++ran; });
    main.RunModal([] { return true; });
    EXPECT_EQ(ran, 0);
    main.RunModal([&] { return ran == 1; });
    EXPECT_EQ(ran, 1);
}

TEST(QtMainThread, DestructionAnswersAWaitingInvokeWithFalse) {
    auto main = std::make_unique<QtMainThread>();
    std::atomic<int> answer{-1};
    bool ran = false;
    std::thread worker([&] { answer = main->Invoke([&] { ran = true; }) ? 1 : 0; });
    while (main->WaitingInvokers() == 0) std::this_thread::yield();
    // The main thread never turns its loop: destruction must still let the worker go.
    main.reset();
    worker.join();
    EXPECT_FALSE(ran);
    EXPECT_EQ(answer.load(), 0);
}

TEST(QtMainThread, QuittingEndsRunModalAndRefusesLaterWork) {
    QtMainThread main;
    bool modalReturned = false;
    QTimer::singleShot(0, [&] {
        main.Post([] { QCoreApplication::exit(0); });
        main.RunModal([] { return false; });  // only the quit can end it
        modalReturned = true;
    });
    QCoreApplication::exec();
    EXPECT_TRUE(modalReturned);
    EXPECT_TRUE(main.Stopped());

    bool ran = false;
    bool answered = true;
    std::thread worker([&] { answered = main.Invoke([&] { ran = true; }); });
    worker.join();  // would hang if Invoke waited for a loop that has quit
    EXPECT_FALSE(answered);
    EXPECT_FALSE(main.Invoke([&] { ran = true; }));
    main.Post([&] { ran = true; });
    main.RunModal([] { return false; });  // returns at once once stopped
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace tolm

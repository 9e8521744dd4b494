#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "ReferenceFilters.h"
#include "effects/EffectRandom.h"

namespace tolm {
namespace {

TEST(EffectRandomTest, FirstDrawsFromStartAreZeroThenEight) {
    ResetEffectRandom(0);
    EXPECT_EQ(EffectRandom(256), 0u);
    EXPECT_EQ(EffectRandom(256), 8u);
}

TEST(EffectRandomTest, StreamContinuesAndHandsBackTheSequence) {
    ResetEffectRandom(12345);
    test::Lcg reference{12345};
    {
        EffectRandomStream stream;
        for (int i = 0; i < 100; ++i) ASSERT_EQ(stream.Draw(1000), reference.Draw(1000));
    }
    EXPECT_EQ(EffectRandom(0xFFFFFFFFu), reference.Draw(0xFFFFFFFFu));
}

TEST(EffectRandomTest, ConcurrentDrawsLoseNoStep) {
    ResetEffectRandom(0);
    constexpr int kThreads = 4;
    constexpr int kDraws = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kDraws; ++i) {
                if (t % 2) {
                    EffectRandom(10);
                } else {
                    EffectRandomStream stream;
                    stream.Draw(10);
                }
            }
        });
    for (auto& thread : threads) thread.join();
    test::Lcg reference;
    for (int i = 0; i < kThreads * kDraws; ++i) reference.Draw(0);
    EXPECT_EQ(EffectRandom(0xFFFFFFFFu), reference.Draw(0xFFFFFFFFu));
}

}  // namespace
}  // namespace tolm

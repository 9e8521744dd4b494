#include "imaging/BufferPool.h"

#include <gtest/gtest.h>

namespace tolm {
namespace {

TEST(BufferPool, ReusesReturnedBuffers) {
    auto pool = BufferPool::Create(2);
    std::uint8_t* first = nullptr;
    {
        BufferPool::Buffer b = pool->Acquire(1000);
        first = b.Data();
        EXPECT_EQ(b.Size(), 1000u);
    }
    BufferPool::Buffer again = pool->Acquire(800);  // fits in the returned one
    EXPECT_EQ(again.Data(), first);
    EXPECT_EQ(again.Size(), 800u);
    BufferPool::Buffer bigger = pool->Acquire(5000);
    EXPECT_NE(bigger.Data(), first);
}

TEST(BufferPool, KeepsAtMostItsLimitAndPrefersLargeBuffers) {
    auto pool = BufferPool::Create(1);
    std::uint8_t* large = nullptr;
    {
        BufferPool::Buffer a = pool->Acquire(100);
        BufferPool::Buffer b = pool->Acquire(10000);
        large = b.Data();
    }  // b returns first (destroyed first), then a is dropped as smaller
    EXPECT_EQ(pool->Acquire(9000).Data(), large);
}

TEST(BufferPool, BuffersOutliveTheirPool) {
    BufferPool::Buffer survivor;
    {
        auto pool = BufferPool::Create(2);
        survivor = pool->Acquire(64);
        survivor.Data()[63] = 7;
    }
    EXPECT_EQ(survivor.Data()[63], 7);  // freed normally later, not returned to a dead pool
}

TEST(BufferPool, MoveAssignmentGivesTheOldBufferBack) {
    auto pool = BufferPool::Create(2);
    BufferPool::Buffer a = pool->Acquire(64);
    std::uint8_t* old = a.Data();
    a = pool->Acquire(32);
    EXPECT_EQ(pool->Acquire(64).Data(), old);
}

}  // namespace
}  // namespace tolm

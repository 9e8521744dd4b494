#include "imaging/BufferPool.h"

#include <algorithm>

namespace tolm {

BufferPool::Buffer& BufferPool::Buffer::operator=(Buffer&& other) noexcept {
    if (this != &other) {
        GiveBack();
        data_ = std::move(other.data_);
        size_ = other.size_;
        capacity_ = other.capacity_;
        pool_ = std::move(other.pool_);
    }
    return *this;
}

BufferPool::Buffer::~Buffer() {
    GiveBack();
}

void BufferPool::Buffer::GiveBack() {
    if (!data_) return;
    if (std::shared_ptr<BufferPool> pool = pool_.lock()) pool->Return(std::move(data_), capacity_);
    data_.reset();
}

std::shared_ptr<BufferPool> BufferPool::Create(std::size_t maxIdle) {
    return std::make_shared<BufferPool>(Key{}, maxIdle);
}

BufferPool::Buffer BufferPool::Allocate(std::size_t size) {
    Buffer b;
    b.data_ = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    b.size_ = size;
    b.capacity_ = size;
    return b;
}

BufferPool::Buffer BufferPool::Acquire(std::size_t size) {
    Buffer b;
    {
        std::lock_guard lock(mutex_);
        // The smallest idle buffer that fits, so one odd large frame does not pin the biggest buffer.
        auto best = idle_.end();
        for (auto it = idle_.begin(); it != idle_.end(); ++it)
            if (it->capacity >= size && (best == idle_.end() || it->capacity < best->capacity)) best = it;
        if (best != idle_.end()) {
            b.data_ = std::move(best->data);
            b.capacity_ = best->capacity;
            idle_.erase(best);
        }
    }
    if (!b.data_) {
        b = Allocate(size);
    }
    b.size_ = size;
    b.pool_ = weak_from_this();
    return b;
}

void BufferPool::Return(std::unique_ptr<std::uint8_t[]> data, std::size_t capacity) {
    std::lock_guard lock(mutex_);
    if (idle_.size() >= maxIdle_) {
        // Drop the smallest so that the pool keeps the buffers most likely to fit the next frame.
        auto smallest = std::min_element(idle_.begin(), idle_.end(),
                                         [](const Idle& a, const Idle& b) { return a.capacity < b.capacity; });
        if (smallest == idle_.end() || smallest->capacity >= capacity) return;
        idle_.erase(smallest);
    }
    idle_.push_back(Idle{std::move(data), capacity});
}

}  // namespace tolm

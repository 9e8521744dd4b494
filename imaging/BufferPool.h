#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace tolm {

// Large frame buffers handed out and taken back. A full-HD frame is 8 MB; allocating it anew for every frame
// costs more in page faults than the frame's whole conversion, so finished buffers wait here for reuse.
// Thread-safe. Buffers may outlive the pool; they are then simply freed.
class BufferPool : public std::enable_shared_from_this<BufferPool> {
  public:
    class Buffer {
      public:
        Buffer() = default;
        Buffer(Buffer&&) noexcept = default;
        Buffer& operator=(Buffer&& other) noexcept;
        ~Buffer();

        std::uint8_t* Data() const { return data_.get(); }
        std::size_t Size() const { return size_; }

      private:
        friend class BufferPool;
        void GiveBack();

        std::unique_ptr<std::uint8_t[]> data_;
        std::size_t size_ = 0;
        std::size_t capacity_ = 0;
        std::weak_ptr<BufferPool> pool_;
    };

    // Keeps at most `maxIdle` buffers waiting.
    static std::shared_ptr<BufferPool> Create(std::size_t maxIdle);

    // A buffer of at least `size` bytes with unspecified contents; throws std::bad_alloc.
    Buffer Acquire(std::size_t size);

    // A buffer that belongs to no pool.
    static Buffer Allocate(std::size_t size);

    struct Key {
        explicit Key() = default;
    };
    BufferPool(Key, std::size_t maxIdle) : maxIdle_(maxIdle) {}

  private:
    void Return(std::unique_ptr<std::uint8_t[]> data, std::size_t capacity);

    struct Idle {
        std::unique_ptr<std::uint8_t[]> data;
        std::size_t capacity;
    };
    std::mutex mutex_;
    std::vector<Idle> idle_;
    std::size_t maxIdle_;
};

}  // namespace tolm

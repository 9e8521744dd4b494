#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolm::x11 {

// A System V shared memory segment attached both to this process (read-only) and to the X server, which
// writes MIT-SHM images into it. The segment is marked for removal as soon as the server holds it, so the
// kernel frees it when both sides let go, even after a crash. Move-only; not thread-safe.
class ShmSegment {
  public:
    ShmSegment() noexcept = default;

    // An attached segment of at least `bytes`, or an empty one with `error` set (no MIT-SHM, a remote
    // server that cannot see our memory, no shared memory left, ...). The connection must outlive it.
    static ShmSegment Create(xcb_connection_t* connection, std::size_t bytes, std::string& error);

    ~ShmSegment();
    ShmSegment(ShmSegment&& other) noexcept;
    ShmSegment& operator=(ShmSegment&& other) noexcept;
    ShmSegment(const ShmSegment&) = delete;
    ShmSegment& operator=(const ShmSegment&) = delete;

    bool Valid() const noexcept { return address_ != nullptr; }
    std::size_t Size() const noexcept { return size_; }
    xcb_shm_seg_t Id() const noexcept { return segment_; }
    const std::uint8_t* Data() const noexcept { return address_; }

  private:
    void Release() noexcept;
    void Swap(ShmSegment& other) noexcept;

    xcb_connection_t* connection_ = nullptr;
    xcb_shm_seg_t segment_ = 0;
    const std::uint8_t* address_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace tolm::x11

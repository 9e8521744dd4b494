#pragma once

// Owners of server-side resources (windows, graphics contexts, fonts) the desktop services create. Private to
// platform/x11 and its tests. The connection must outlive every owner made on it.

#include <xcb/xcb.h>

#include <cstdint>
#include <utility>

namespace tolm::x11 {

// Frees the resource `id` on `connection` with Free when it goes; move-only. The request is only queued: the
// owner flushes when it matters.
template <auto Free>
class XcbResource {
  public:
    XcbResource() = default;
    XcbResource(xcb_connection_t* connection, std::uint32_t id) : connection_(connection), id_(id) {}
    ~XcbResource() { Reset(); }

    XcbResource(XcbResource&& other) noexcept
        : connection_(other.connection_), id_(std::exchange(other.id_, XCB_NONE)) {}
    XcbResource& operator=(XcbResource&& other) noexcept {
        if (this != &other) {
            Reset();
            connection_ = other.connection_;
            id_ = std::exchange(other.id_, XCB_NONE);
        }
        return *this;
    }
    XcbResource(const XcbResource&) = delete;
    XcbResource& operator=(const XcbResource&) = delete;

    std::uint32_t Id() const { return id_; }

    void Reset() {
        if (id_ != XCB_NONE) Free(connection_, id_);
        id_ = XCB_NONE;
    }

  private:
    xcb_connection_t* connection_ = nullptr;
    std::uint32_t id_ = XCB_NONE;
};

using XcbWindow = XcbResource<&xcb_destroy_window>;
using XcbGc = XcbResource<&xcb_free_gc>;
using XcbFont = XcbResource<&xcb_close_font>;

}  // namespace tolm::x11

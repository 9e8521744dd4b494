// Owning handles for the XCB objects of the scene client.
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace tolm::scene {

struct ConnectionCloser {
    void operator()(xcb_connection_t* c) const noexcept { xcb_disconnect(c); }
};
using ConnectionPtr = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

// Events and replies are malloc'ed by XCB.
struct XcbFree {
    void operator()(void* p) const noexcept { std::free(p); }
};
template <typename T>
using XcbPtr = std::unique_ptr<T, XcbFree>;

}  // namespace tolm::scene

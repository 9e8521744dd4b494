// Owning handles for the C objects of the sync client.
#pragma once

#include <pulse/simple.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace tolm::avsync {

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

struct SimpleFree {
    void operator()(pa_simple* s) const noexcept { pa_simple_free(s); }
};
using SimplePtr = std::unique_ptr<pa_simple, SimpleFree>;

}  // namespace tolm::avsync

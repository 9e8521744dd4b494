#pragma once

// Owners of the XCB handles the X11 backend keeps. Private to platform/x11 and its tests.

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

#include "platform/CDeleter.h"

namespace tolm::x11 {

// Replies and errors from XCB are malloc'ed blocks the caller frees.
struct CFree {
    void operator()(void* p) const noexcept { std::free(p); }
};

using XcbConnection = std::unique_ptr<xcb_connection_t, CDeleter<&xcb_disconnect>>;

template <class R>
using XcbReply = std::unique_ptr<R, CFree>;

using XcbError = XcbReply<xcb_generic_error_t>;

}  // namespace tolm::x11

#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/ScreenSource.h"
#include "platform/x11/XcbHandles.h"

namespace tolm::x11 {

// The cursor of an X display as XFIXES shows it. The image (up to 16 KB a frame) is read again only after
// the server announced a new one; the position is asked for on every read. The announcements come on a
// connection of its own, so no other part of the backend has to pass events on. Thread-safe.
class CursorWatch {
  public:
    // Empty when cursor images can be read, otherwise why not.
    std::string Start(const std::string& displayName);

    // The cursor now, or where it was at a PrefetchPosition just before. False with `error` when the server
    // does not answer.
    bool Read(CursorImage& cursor, std::string& error);

    // Asks for the pointer position without waiting: called with a grab, its answer arrives during the grab's
    // round trip instead of costing one of its own, and it tells where the pointer was in the picture.
    void PrefetchPosition();

  private:
    bool ImageChanged();  // with the lock held
    bool ReadImage(std::string& error);
    bool ReadPosition(std::string& error);
    void DropPrefetch();

    std::mutex mutex_;  // guards everything below once started
    XcbConnection connection_;
    xcb_window_t root_ = XCB_NONE;
    std::uint8_t firstEvent_ = 0;
    bool prefetched_ = false;
    xcb_query_pointer_cookie_t prefetch_{};
    std::chrono::steady_clock::time_point prefetchedAt_;
    bool haveImage_ = false;
    std::uint32_t serial_ = 0;
    CursorImage cursor_;
};

}  // namespace tolm::x11

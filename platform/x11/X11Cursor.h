#pragma once

#include <xcb/xcb.h>

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

    // The cursor now. False with `error` when the server does not answer.
    bool Read(CursorImage& cursor, std::string& error);

  private:
    bool ImageChanged();  // with the lock held
    bool ReadImage(std::string& error);
    bool ReadPosition(std::string& error);

    std::mutex mutex_;  // guards everything below once started
    XcbConnection connection_;
    xcb_window_t root_ = XCB_NONE;
    std::uint8_t firstEvent_ = 0;
    bool haveImage_ = false;
    std::uint32_t serial_ = 0;
    CursorImage cursor_;
};

}  // namespace tolm::x11

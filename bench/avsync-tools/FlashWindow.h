// An override-redirect window that is black and turns white for a moment on request.
#pragma once

#include "ClientHandles.h"

#include <chrono>
#include <string>

namespace tolm::avsync {

class FlashWindow {
  public:
    using Clock = std::chrono::steady_clock;

    FlashWindow(int width, int height);
    ~FlashWindow();
    FlashWindow(const FlashWindow&) = delete;
    FlashWindow& operator=(const FlashWindow&) = delete;

    // Empty when the window is up and painted; otherwise why not.
    const std::string& Error() const { return error_; }

    // Paints the window white (or black) and returns once the X server has done it.
    Clock::time_point Paint(bool white);

  private:
    ConnectionPtr c_;
    xcb_window_t window_ = 0;
    xcb_gcontext_t gc_ = 0;
    int width_;
    int height_;
    uint32_t white_ = 0;
    uint32_t black_ = 0;
    std::string error_;
};

}  // namespace tolm::avsync

#pragma once

#include <memory>
#include <string>

#include "imaging/Color.h"
#include "platform/OverlayWindow.h"
#include "selection/RectRegion.h"

namespace tolm {

// The blinking frame drawn just outside the capture area, with a caption above its top-left corner. Its
// shape covers only pixels outside the area, so it never shows in the recording. Main thread only.
class TFlashingWnd {
  public:
    static constexpr int kLineWidth = 2;
    static constexpr int kCornerLength = 30;

    explicit TFlashingWnd(std::unique_ptr<OverlayWindow> window);

    // Lays the window round the area (x, y, w, h); with cornersOnly only the four corners stay.
    void Reshape(int x, int y, const std::string& caption, bool cornersOnly, int h, int w);
    // Draws the caption (black on yellow) and the frame in `color`; nothing before the first Reshape.
    void PaintFrame(TColor color, const std::string& caption);

    void ShowOnTop() { window_->ShowOnTop(); }
    void Hide() { window_->Hide(); }
    bool Showing() const { return window_->Showing(); }

    Rect WindowBounds() const { return bounds_; }
    // The part of the window below the caption strip, in window coordinates.
    Rect FrameRect() const { return frame_; }
    const RectRegion& Region() const { return region_; }

  private:
    std::unique_ptr<OverlayWindow> window_;
    Rect bounds_{0, 16, 300, 300};
    Rect frame_;
    RectRegion region_;
};

}  // namespace tolm

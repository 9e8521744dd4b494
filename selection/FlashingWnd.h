#pragma once

#include <memory>
#include <string>

#include "imaging/Color.h"
#include "platform/OverlayWindow.h"
#include "selection/RectRegion.h"

namespace tolm {

// The blinking frame drawn just outside the capture area, with a caption above its top-left corner, whole. Its
// shape covers only pixels outside the area, so it never shows in the recording. The caption stays on the screen
// it is given: moved left from the screen's right edge, and below the frame when there is no room above it.
// Main thread only.
class TFlashingWnd {
  public:
    static constexpr int kLineWidth = 2;
    static constexpr int kCornerLength = 30;

    explicit TFlashingWnd(std::unique_ptr<OverlayWindow> window);

    // The monitor (or desktop) the caption is kept on from the next Reshape; empty: wherever it falls.
    void SetScreen(const Rect& screen) { screen_ = screen; }
    // Lays the window round the area (x, y, w, h); with cornersOnly only the four corners stay.
    void Reshape(int x, int y, const std::string& caption, bool cornersOnly, int h, int w);
    // Draws the caption (black on yellow) and the frame in `color`; nothing before the first Reshape.
    void PaintFrame(TColor color, const std::string& caption);

    void ShowOnTop() { window_->ShowOnTop(); }
    void Hide() { window_->Hide(); }
    bool Showing() const { return window_->Showing(); }

    Rect WindowBounds() const { return bounds_; }
    // The ring's rectangle and the caption's, in window coordinates.
    Rect FrameRect() const { return frame_; }
    Rect CaptionRect() const { return caption_; }
    const RectRegion& Region() const { return region_; }

  private:
    std::unique_ptr<OverlayWindow> window_;
    Rect bounds_{0, 16, 300, 300};
    Rect frame_;
    Rect caption_;
    Rect screen_;
    RectRegion region_;
};

}  // namespace tolm

#pragma once

#include <memory>
#include <string>

#include "platform/OverlayWindow.h"
#include "platform/WindowLocator.h"
#include "selection/RectRegion.h"

namespace tolm {

// The object picker's frame: every tick it finds the window under the pointer and lays a thin red frame
// round it, with a caption above its top-left corner. Main thread only.
class TSelObjWindow {
  public:
    static constexpr int kLineWidth = 1;
    static constexpr int kTimerIntervalMs = 40;
    static constexpr const char* kCaption = "Cancel: Esc -- Select: Ctrl+Enter";

    TSelObjWindow(std::unique_ptr<OverlayWindow> window, WindowLocator& locator);

    // One tick: follow the object under the pointer.
    void Timer1Timer();
    void Reshape(int x, int y, const std::string& caption, int h, int w);
    // Draws the caption (white on red) and the ring in red; nothing before the first Reshape.
    void PaintFrame(const std::string& caption);

    int ObjLeft() const { return objLeft_; }
    int ObjTop() const { return objTop_; }
    int ObjWidth() const { return objWidth_; }
    int ObjHeight() const { return objHeight_; }
    Rect WindowBounds() const { return bounds_; }
    Rect FrameRect() const { return frame_; }
    const RectRegion& Region() const { return region_; }
    OverlayWindow& Window() { return *window_; }

  private:
    std::unique_ptr<OverlayWindow> window_;
    WindowLocator& locator_;
    Rect bounds_;
    Rect frame_;
    RectRegion region_;
    int objLeft_ = 0;
    int objTop_ = 0;
    int objWidth_ = 0;
    int objHeight_ = 0;
};

}  // namespace tolm

#pragma once

#include <mutex>

#include "capture/CameraTypes.h"
#include "imaging/Geometry.h"

namespace tolm {

// The capture area. The user interface and the area timer write it while a recording worker reads it for
// every frame, so all fields sit behind one lock and Bounds() reads them as one consistent rectangle.
class TScreenArea {
  public:
    TScreenArea() = default;
    TScreenArea(const TScreenArea&) = delete;
    TScreenArea& operator=(const TScreenArea&) = delete;

    void Assign(const TScreenArea& other);

    TScreenRegion ScreenRegion() const;
    int ScreenLeft() const;
    int ScreenTop() const;
    int ScreenWidth() const;
    int ScreenHeight() const;
    Rect Bounds() const;

    void SetScreenRegion(TScreenRegion region);
    void SetScreenLeft(int left);
    void SetScreenTop(int top);
    void SetScreenWidth(int width);
    void SetScreenHeight(int height);
    void SetBounds(const Rect& bounds);

  private:
    mutable std::mutex mutex_;
    TScreenRegion region_ = TScreenRegion::FixedMoving;
    Rect bounds_{0, 0, 300, 300};
};

}  // namespace tolm

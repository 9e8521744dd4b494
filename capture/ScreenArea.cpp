#include "capture/ScreenArea.h"

namespace tolm {

void TScreenArea::Assign(const TScreenArea& other) {
    if (&other == this) return;
    const TScreenRegion region = other.ScreenRegion();
    const Rect bounds = other.Bounds();
    std::lock_guard lock(mutex_);
    region_ = region;
    bounds_ = bounds;
}

TScreenRegion TScreenArea::ScreenRegion() const {
    std::lock_guard lock(mutex_);
    return region_;
}
int TScreenArea::ScreenLeft() const {
    return Bounds().left;
}
int TScreenArea::ScreenTop() const {
    return Bounds().top;
}
int TScreenArea::ScreenWidth() const {
    return Bounds().width;
}
int TScreenArea::ScreenHeight() const {
    return Bounds().height;
}

Rect TScreenArea::Bounds() const {
    std::lock_guard lock(mutex_);
    return bounds_;
}

void TScreenArea::SetScreenRegion(TScreenRegion region) {
    std::lock_guard lock(mutex_);
    region_ = region;
}
void TScreenArea::SetScreenLeft(int left) {
    std::lock_guard lock(mutex_);
    bounds_.left = left;
}
void TScreenArea::SetScreenTop(int top) {
    std::lock_guard lock(mutex_);
    bounds_.top = top;
}
void TScreenArea::SetScreenWidth(int width) {
    std::lock_guard lock(mutex_);
    bounds_.width = width;
}
void TScreenArea::SetScreenHeight(int height) {
    std::lock_guard lock(mutex_);
    bounds_.height = height;
}
void TScreenArea::SetBounds(const Rect& bounds) {
    std::lock_guard lock(mutex_);
    bounds_ = bounds;
}

}  // namespace tolm

#include "selection/FlashingWnd.h"

namespace tolm {

TFlashingWnd::TFlashingWnd(std::unique_ptr<OverlayWindow> window) : window_(std::move(window)) {
    window_->SetBounds(bounds_);
}

void TFlashingWnd::Reshape(int x, int y, const std::string& caption, bool cornersOnly, int h, int w) {
    const Size text = window_->TextExtent(caption);
    const int th = text.height;
    bounds_ = Rect{x - 4, y - th - 4, w + 6, h + th + 6};
    window_->SetBounds(bounds_);
    frame_ = Rect{0, th, bounds_.width, bounds_.height - th};

    RectRegion shape(Rect{0, 0, bounds_.width, bounds_.height});
    shape.Subtract(Rect{text.width, 0, bounds_.width - text.width, th});  // top band right of the caption
    shape.Subtract(Rect{kLineWidth, th + kLineWidth, w + 2, h + 2});      // the hole
    if (cornersOnly) {
        shape.Subtract(Rect{0, kCornerLength + th, bounds_.width, bounds_.height - 2 * kCornerLength - th});
        shape.Subtract(Rect{kCornerLength, th, bounds_.width - 2 * kCornerLength, bounds_.height - th});
    }
    region_ = shape;
    window_->SetShape(region_.Rects());
}

void TFlashingWnd::PaintFrame(TColor color, const std::string& caption) {
    if (frame_.Empty()) return;
    window_->Paint(caption, clBlack, clYellow, frame_, color);
}

}  // namespace tolm

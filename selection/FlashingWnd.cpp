#include "selection/FlashingWnd.h"

#include <algorithm>

namespace tolm {

TFlashingWnd::TFlashingWnd(std::unique_ptr<OverlayWindow> window) : window_(std::move(window)) {
    window_->SetBounds(bounds_);
}

namespace {

// Where the caption goes on the screen: above the ring's top-left corner, moved left as far as the screen's right
// edge asks (but not past its left edge), and below the ring when the screen has no room above it but below.
Rect PlaceCaption(const Rect& ring, Size text, const Rect& screen) {
    Rect caption{ring.left, ring.top - text.height, text.width, text.height};
    if (screen.Empty()) return caption;
    caption.left = std::max(std::min(caption.left, screen.Right() - text.width), screen.left);
    if (caption.top < screen.top && ring.Bottom() + text.height <= screen.Bottom()) caption.top = ring.Bottom();
    return caption;
}

}  // namespace

void TFlashingWnd::Reshape(int x, int y, const std::string& caption, bool cornersOnly, int h, int w) {
    const Size text = window_->TextExtent(caption);
    const Rect ring{x - 4, y - 4, w + 6, h + 6};
    const Rect strip = PlaceCaption(ring, text, screen_);
    const int left = std::min(ring.left, strip.left);
    const int top = std::min(ring.top, strip.top);
    bounds_ =
        Rect{left, top, std::max(ring.Right(), strip.Right()) - left, std::max(ring.Bottom(), strip.Bottom()) - top};
    window_->SetBounds(bounds_);
    frame_ = Rect{ring.left - left, ring.top - top, ring.width, ring.height};
    caption_ = Rect{strip.left - left, strip.top - top, strip.width, strip.height};

    // The caption's rows and the ring's lie one above the other: each keeps only its own columns.
    RectRegion shape(Rect{0, 0, bounds_.width, bounds_.height});
    for (const Rect& band : {caption_, frame_}) {
        shape.Subtract(Rect{0, band.top, band.left, band.height});
        shape.Subtract(Rect{band.Right(), band.top, bounds_.width - band.Right(), band.height});
    }
    const Rect& f = frame_;
    shape.Subtract(Rect{f.left + kLineWidth, f.top + kLineWidth, w + 2, h + 2});  // the hole
    if (cornersOnly) {
        shape.Subtract(Rect{f.left, f.top + kCornerLength, f.width, f.height - 2 * kCornerLength});
        shape.Subtract(Rect{f.left + kCornerLength, f.top, f.width - 2 * kCornerLength, f.height});
    }
    region_ = shape;
    window_->SetShape(region_.Rects());
}

void TFlashingWnd::PaintFrame(TColor color, const std::string& caption) {
    if (frame_.Empty()) return;
    window_->Paint(caption, Point{caption_.left, caption_.top}, clBlack, clYellow, frame_, color);
}

}  // namespace tolm

#include "selection/SelObjWnd.h"

namespace tolm {

TSelObjWindow::TSelObjWindow(std::unique_ptr<OverlayWindow> window, WindowLocator& locator)
    : window_(std::move(window)), locator_(locator) {}

void TSelObjWindow::Timer1Timer() {
    Point pointer;
    Rect object;
    if (!locator_.PointerPosition(pointer) || !locator_.WindowRectAt(pointer, window_->NativeId(), object)) return;
    objLeft_ = object.left;
    objTop_ = object.top;
    objWidth_ = object.width;
    objHeight_ = object.height;
    Reshape(objLeft_, objTop_, kCaption, objHeight_, objWidth_);
    PaintFrame(kCaption);
    window_->ShowOnTop();
}

void TSelObjWindow::Reshape(int x, int y, const std::string& caption, int h, int w) {
    const Size text = window_->TextExtent(caption);
    const int th = text.height;
    bounds_ = Rect{x - 2, y - th - 2, w + 3, h + th + 3};
    window_->SetBounds(bounds_);
    frame_ = Rect{0, th, bounds_.width, bounds_.height - th};
    RectRegion shape(Rect{0, 0, bounds_.width, bounds_.height});
    shape.Subtract(Rect{text.width, 0, bounds_.width - text.width, th});
    shape.Subtract(Rect{kLineWidth, th + kLineWidth, w + 1, h + 1});
    region_ = shape;
    window_->SetShape(region_.Rects());
}

void TSelObjWindow::PaintFrame(const std::string& caption) {
    if (frame_.Empty()) return;
    window_->Paint(caption, Point{0, 0}, clWhite, clRed, frame_, clRed);
}

}  // namespace tolm

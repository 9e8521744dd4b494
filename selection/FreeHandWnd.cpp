#include "selection/FreeHandWnd.h"

namespace tolm {
namespace {

// The hint's line break is line feed, then carriage return.
constexpr const char* kBreak = "\n\r";

}  // namespace

TFreeHandWindow::TFreeHandWindow(Size windowSize) : window_(windowSize) {}

std::string TFreeHandWindow::HintText(Point p, int selWidth, int selHeight) {
    std::string text = "X: " + std::to_string(p.x) + " Y: " + std::to_string(p.y);
    if (selWidth != 0 && selHeight != 0)
        text += kBreak + std::string("Selected Area : ") + std::to_string(selWidth) + " x " + std::to_string(selHeight);
    text += kBreak + std::string(40, '-') + kBreak + "For Cancel Press (Esc Key)" + kBreak +
            "For Select Press (Ctrl+Left Click)";
    return text;
}

void TFreeHandWindow::Crosshair(Point p) {
    shapes_[0] = GuideLine{true, Rect{p.x, 0, 2, window_.height}};
    shapes_[1] = GuideLine{true, Rect{0, p.y, window_.width, 2}};
    shapes_[2].visible = false;
    shapes_[3].visible = false;
}

void TFreeHandWindow::Normalise() {
    selLeft_ = endX_ > startX_ ? startX_ : endX_;
    selWidth_ = endX_ > startX_ ? endX_ - startX_ : startX_ - endX_;
    selTop_ = endY_ > startY_ ? startY_ : endY_;
    selHeight_ = endY_ > startY_ ? endY_ - startY_ : startY_ - endY_;
}

void TFreeHandWindow::FormMouseDown(MouseButton button, bool ctrl, Point p) {
    hint_.clear();
    if (button != MouseButton::left) return;
    if (ctrl && hasSelection_ && selWidth_ != 0 && selHeight_ != 0) {
        modalResult_ = mrOK;
        return;
    }
    startX_ = startY_ = endX_ = endY_ = 0;
    selLeft_ = selTop_ = selWidth_ = selHeight_ = 0;
    dragging_ = true;
    hasSelection_ = false;
    Crosshair(p);
    startX_ = p.x;
    startY_ = p.y;
}

void TFreeHandWindow::FormMouseMove(Point p) {
    if (dragging_) {
        shapes_[0].visible = shapes_[1].visible = true;
        shapes_[2] = GuideLine{true, Rect{p.x, 0, 2, window_.height}};
        shapes_[3] = GuideLine{true, Rect{0, p.y, window_.width, 2}};
        endX_ = p.x;
        endY_ = p.y;
        hasSelection_ = true;
    } else if (!hasSelection_) {
        Crosshair(p);
    }
    Normalise();
    hint_ = HintText(p, selWidth_, selHeight_);
    hintAt_ = p;
}

void TFreeHandWindow::FormMouseUp(Point) {
    Normalise();
    dragging_ = false;
    hasSelection_ = !(shapes_[0].bounds.left == shapes_[2].bounds.left ||
                      shapes_[1].bounds.top == shapes_[3].bounds.top || (!shapes_[2].visible && !shapes_[3].visible));
}

}  // namespace tolm

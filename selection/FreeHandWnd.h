#pragma once

#include <string>

#include "imaging/Geometry.h"
#include "platform/FreeHandPicker.h"
#include "platform/OverlayWindow.h"

namespace tolm {

// The free-hand picker's behaviour: a rectangle dragged out on a still picture of the desktop, with guide
// lines through the start and end points and a hint by the pointer. The window that shows the picture and
// feeds the mouse in belongs to the front end; positions are screen coordinates. Main thread only.
class TFreeHandWindow final : public FreeHandPicker {
  public:
    explicit TFreeHandWindow(Size windowSize);

    void FormMouseDown(MouseButton button, bool ctrl, Point pointer) override;
    void FormMouseMove(Point pointer) override;
    void FormMouseUp(Point pointer) override;

    int ModalResult() const override { return modalResult_; }
    void SetModalResult(int result) override { modalResult_ = result; }

    bool Dragging() const { return dragging_; }
    bool HasSelection() const { return hasSelection_; }
    int SelLeft() const { return selLeft_; }
    int SelTop() const { return selTop_; }
    int SelWidth() const { return selWidth_; }
    int SelHeight() const { return selHeight_; }
    const GuideLine& Shape(int index) const override { return shapes_[index - 1]; }  // 1..4
    const std::string& Hint() const override { return hint_; }
    Point HintPosition() const override { return hintAt_; }

    static std::string HintText(Point pointer, int selWidth, int selHeight);

  private:
    void Normalise();
    void Crosshair(Point pointer);

    Size window_;
    bool dragging_ = false;
    bool hasSelection_ = false;
    int startX_ = 0, startY_ = 0, endX_ = 0, endY_ = 0;
    int selLeft_ = 0, selTop_ = 0, selWidth_ = 0, selHeight_ = 0;
    GuideLine shapes_[4];
    std::string hint_;
    Point hintAt_;
    int modalResult_ = mrNone;
};

}  // namespace tolm

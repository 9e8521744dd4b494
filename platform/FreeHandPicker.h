#pragma once

#include <string>

#include "imaging/Geometry.h"

namespace tolm {

// What a host's window drives of the free-hand picker: it feeds the mouse in (screen coordinates), draws the
// guide lines and the hint the picker shows, and ends when the picker has a modal result. Main thread only.
class FreeHandPicker {
  public:
    enum class MouseButton { left, right, middle };
    enum ModalResult { mrNone = 0, mrOK = 1, mrCancel = 2 };
    // One of the four guide lines (Shape1..Shape4): a 2-pixel rectangle across the window.
    struct GuideLine {
        bool visible = false;
        Rect bounds;
    };

    virtual ~FreeHandPicker() = default;

    virtual void FormMouseDown(MouseButton button, bool ctrl, Point pointer) = 0;
    virtual void FormMouseMove(Point pointer) = 0;
    virtual void FormMouseUp(Point pointer) = 0;

    virtual int ModalResult() const = 0;
    virtual void SetModalResult(int result) = 0;

    virtual const GuideLine& Shape(int index) const = 0;  // 1..4
    virtual const std::string& Hint() const = 0;
    virtual Point HintPosition() const = 0;
};

}  // namespace tolm

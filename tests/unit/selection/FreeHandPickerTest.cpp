#include <gtest/gtest.h>

#include "selection/FreeHandWnd.h"

namespace tolm {
namespace {

using Button = TFreeHandWindow::MouseButton;

TFreeHandWindow Drag(Point from, Point to) {
    TFreeHandWindow w(Size{1920, 1080});
    w.FormMouseDown(Button::left, false, from);
    w.FormMouseMove(to);
    w.FormMouseUp(to);
    return w;
}

TEST(FreeHandPicker, DragUpAndLeftIsNormalised) {
    const TFreeHandWindow w = Drag({500, 400}, {200, 100});
    EXPECT_TRUE(w.HasSelection());
    EXPECT_EQ((Rect{w.SelLeft(), w.SelTop(), w.SelWidth(), w.SelHeight()}), (Rect{200, 100, 300, 300}));
    EXPECT_EQ(w.Shape(1).bounds, (Rect{500, 0, 2, 1080}));
    EXPECT_EQ(w.Shape(4).bounds, (Rect{0, 100, 1920, 2}));
}

TEST(FreeHandPicker, SizeIsTheDifferenceOfTheCorners) {
    const TFreeHandWindow w = Drag({10, 10}, {20, 30});
    EXPECT_EQ(w.SelWidth(), 10);
    EXPECT_EQ(w.SelHeight(), 20);
}

TEST(FreeHandPicker, ClickWithoutMovementSelectsNothing) {
    TFreeHandWindow w(Size{800, 600});
    w.FormMouseDown(Button::left, false, {50, 50});
    w.FormMouseUp({50, 50});
    EXPECT_FALSE(w.HasSelection());
    w.FormMouseDown(Button::left, true, {60, 60});  // Ctrl+click starts a new drag instead of closing
    EXPECT_EQ(w.ModalResult(), TFreeHandWindow::mrNone);
    EXPECT_TRUE(w.Dragging());
}

TEST(FreeHandPicker, DragEndingOnTheStartColumnSelectsNothing) {
    const TFreeHandWindow w = Drag({40, 40}, {40, 90});
    EXPECT_FALSE(w.HasSelection());
}

TEST(FreeHandPicker, CtrlClickOnASelectionConfirms) {
    TFreeHandWindow w = Drag({10, 10}, {110, 60});
    w.FormMouseDown(Button::right, true, {5, 5});
    EXPECT_EQ(w.ModalResult(), TFreeHandWindow::mrNone);
    w.FormMouseDown(Button::left, true, {5, 5});
    EXPECT_EQ(w.ModalResult(), TFreeHandWindow::mrOK);
    EXPECT_EQ(w.SelWidth(), 100);  // nothing else changes
}

TEST(FreeHandPicker, HintShowsPositionSizeAndKeys) {
    TFreeHandWindow w(Size{800, 600});
    w.FormMouseMove({10, 20});
    EXPECT_EQ(w.Hint(),
              "X: 10 Y: 20\n\r----------------------------------------\n\rFor Cancel Press (Esc Key)\n\r"
              "For Select Press (Ctrl+Left Click)");
    EXPECT_TRUE(w.Shape(1).visible);
    EXPECT_FALSE(w.Shape(3).visible);
    w.FormMouseDown(Button::left, false, {10, 20});
    EXPECT_EQ(w.Hint(), "");
    w.FormMouseMove({30, 25});
    EXPECT_EQ(w.Hint().rfind("X: 30 Y: 25\n\rSelected Area : 20 x 5\n\r-----", 0), 0u);
}

}  // namespace
}  // namespace tolm

#include <gtest/gtest.h>

#include "app/WindowPlacement.h"

namespace tolm {
namespace {

TEST(WindowPlacement, AWindowIsMovedAndCutToLieWhollyOnTheScreen) {
    const Rect screen{0, 0, 960, 540};  // 1920x1080 at a scale of two
    EXPECT_EQ(FitOnScreen(Rect{185, -60, 590, 660}, screen), (Rect{185, 0, 590, 540}));
    EXPECT_EQ(FitOnScreen(Rect{700, 100, 300, 200}, screen), (Rect{660, 100, 300, 200}));
    EXPECT_EQ(FitOnScreen(Rect{10, 20, 300, 200}, Rect{960, 0, 960, 1080}), (Rect{960, 20, 300, 200}));
}

}  // namespace
}  // namespace tolm

#include <gtest/gtest.h>

#include <cstdint>

#include "DesktopFixture.h"
#include "selection/SelObjWnd.h"

namespace tolm::testing {
namespace {

constexpr std::uint32_t kRed = 0xFF0000;  // the picker's ring

class X11LocatorTest : public DesktopFixture {
  protected:
    // Waits until the picker's ring shows at screen point p.
    void WaitForRing(Point p) {
        Bitmap image;
        EXPECT_TRUE(WaitForScreen(loop_, *screen_, Rect{p.x, p.y, 1, 1}, image,
                                  [](const Bitmap& shot) { return shot.PixelRGB(0, 0) == kRed; }));
    }
};

// The picker's frame lies round the object it found; the pointer in the hole still reaches that object.
TEST_F(X11LocatorTest, PointerInThePickerHoleReachesTheWindowBeneath) {
    const Rect large{200, 200, 500, 400};
    const Rect object{300, 300, 200, 150};
    client_.ShowWindow(large, 0x404040);
    const xcb_window_t beneath = client_.ShowWindow(object, 0x2468AC);
    TSelObjWindow picker(desktop_->CreateOverlayWindow(), desktop_->Locator());
    const std::uint64_t pickerId = picker.Window().NativeId();

    const Point inside{400, 370};
    client_.MovePointer(inside);
    Point pointer;
    ASSERT_TRUE(desktop_->Locator().PointerPosition(pointer));
    EXPECT_EQ(pointer, inside);
    picker.Timer1Timer();
    EXPECT_EQ((Rect{picker.ObjLeft(), picker.ObjTop(), picker.ObjWidth(), picker.ObjHeight()}), object);
    const Rect bounds = picker.WindowBounds();
    EXPECT_EQ(bounds.left, object.left - 2);
    EXPECT_EQ(bounds.width, object.width + 3);
    WaitForRing(Point{object.left - 2, 370});

    EXPECT_EQ(client_.TopLevelUnderPointer(), beneath);
    Rect found;
    ASSERT_TRUE(desktop_->Locator().WindowRectAt(inside, 0, found));
    EXPECT_EQ(found, object) << "the hole is not part of the picker";

    // On the ring the picker itself is there; passing over it gives the window beneath.
    const Point ring{object.left - 2, 370};
    client_.MovePointer(ring);
    EXPECT_EQ(client_.TopLevelUnderPointer(), pickerId);
    ASSERT_TRUE(desktop_->Locator().WindowRectAt(ring, 0, found));
    EXPECT_EQ(found, bounds);
    ASSERT_TRUE(desktop_->Locator().WindowRectAt(ring, pickerId, found));
    EXPECT_EQ(found, large);
    picker.Timer1Timer();
    EXPECT_EQ(picker.ObjLeft(), large.left);
    EXPECT_EQ(picker.ObjWidth(), large.width);
}

TEST_F(X11LocatorTest, DeepestWindowWinsWithBordersInItsRectangle) {
    const xcb_window_t parent = client_.ShowWindow(Rect{600, 300, 206, 156}, 0x808080, XCB_NONE, 3);
    // The child's outer rectangle in its parent's inside, which starts at (603, 303) on the root.
    const xcb_window_t child = client_.ShowWindow(Rect{10, 20, 54, 44}, 0xC0C0C0, parent, 2);
    const Rect childOnRoot{613, 323, 54, 44};
    const xcb_window_t hidden = client_.ShowWindow(Rect{0, 0, 150, 120}, 0x00FF00, parent);
    client_.Unmap(hidden);  // above the child in the stack, but not viewable

    Rect found;
    WindowLocator& locator = desktop_->Locator();
    ASSERT_TRUE(locator.WindowRectAt(Point{620, 330}, 0, found));
    EXPECT_EQ(found, childOnRoot);
    ASSERT_TRUE(locator.WindowRectAt(Point{613, 323}, 0, found));  // the child's border
    EXPECT_EQ(found, childOnRoot);
    ASSERT_TRUE(locator.WindowRectAt(Point{666, 366}, 0, found));  // its last pixel
    EXPECT_EQ(found, childOnRoot);
    ASSERT_TRUE(locator.WindowRectAt(Point{667, 366}, 0, found));
    EXPECT_EQ(found, (Rect{600, 300, 206, 156}));
    ASSERT_TRUE(locator.WindowRectAt(Point{600, 300}, 0, found));  // the parent's border
    EXPECT_EQ(found, (Rect{600, 300, 206, 156}));
    ASSERT_TRUE(locator.WindowRectAt(Point{620, 330}, child, found));  // passing over the child
    EXPECT_EQ(found, (Rect{600, 300, 206, 156}));
    ASSERT_TRUE(locator.WindowRectAt(Point{620, 330}, parent, found));  // and over the parent with its children
    EXPECT_EQ(found, client_.RootArea());

    client_.MovePointer(Point{640, 340});
    TSelObjWindow picker(desktop_->CreateOverlayWindow(), locator);
    picker.Timer1Timer();
    EXPECT_EQ((Rect{picker.ObjLeft(), picker.ObjTop(), picker.ObjWidth(), picker.ObjHeight()}), childOnRoot);
}

TEST_F(X11LocatorTest, BareRootAndPointsOffTheScreen) {
    const Rect root = client_.RootArea();
    Rect found;
    ASSERT_TRUE(desktop_->Locator().WindowRectAt(Point{root.width - 3, 3}, 0, found));
    EXPECT_EQ(found, root);
    EXPECT_FALSE(desktop_->Locator().WindowRectAt(Point{-1, 10}, 0, found));
    EXPECT_FALSE(desktop_->Locator().WindowRectAt(Point{10, root.height}, 0, found));
}

}  // namespace
}  // namespace tolm::testing

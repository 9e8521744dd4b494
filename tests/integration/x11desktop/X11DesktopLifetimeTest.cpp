#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "DesktopFixture.h"
#include "selection/FlashingWnd.h"

namespace tolm::testing {
namespace {

TEST(X11DesktopOpenTest, DisplayWithoutServerGivesNullAndReason) {
    EventLoop loop;
    std::string error;
    EXPECT_EQ(X11Desktop::Create(":4997", loop, error), nullptr);
    EXPECT_NE(error.find("Cannot open display :4997"), std::string::npos) << error;

    const char* previous = std::getenv("DISPLAY");
    const std::string saved = previous ? previous : "";
    unsetenv("DISPLAY");
    error.clear();
    const auto desktop = X11Desktop::Create("", loop, error);
    if (previous) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(desktop, nullptr);
    EXPECT_NE(error.find("DISPLAY is not set"), std::string::npos) << error;
}

using X11DesktopLifetimeTest = DesktopFixture;

// Another client that keeps pressing Pause and uncovering a window over the area frame until it goes.
class KeepPressing {
  public:
    KeepPressing()
        : thread_([this] {
              DesktopTestClient keyboard;
              if (!keyboard.Connected()) return;
              const xcb_window_t cover = keyboard.ShowWindow(Rect{150, 150, 100, 100}, 0x00FF00);
              while (!stop_) {
                  keyboard.Tap(kPause);
                  keyboard.Unmap(cover);
                  keyboard.Map(cover);
              }
          }) {}
    ~KeepPressing() {
        stop_ = true;
        thread_.join();
    }
    KeepPressing(const KeepPressing&) = delete;
    KeepPressing& operator=(const KeepPressing&) = delete;

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Key presses and exposures keep coming while the desktop goes; what it posted and the main thread has not run
// yet must find nothing to touch. Windows made by the desktop may outlive it.
TEST_F(X11DesktopLifetimeTest, DestroyedWhileEventsArrive) {
    KeepPressing presser;
    int heard = 0;
    for (int round = 0; round < 20; ++round) {
        std::string error;
        auto desktop = X11Desktop::Create("", loop_, error);
        ASSERT_NE(desktop, nullptr) << error;
        desktop->HotKeys().SetHandler([&heard](HotKey) { ++heard; });
        ASSERT_TRUE(desktop->HotKeys().Register(HotKey::Pause));
        TFlashingWnd frame(desktop->CreateOverlayWindow());
        frame.Reshape(100, 100, "Preview... (Cancel=Esc)", false, 200, 200);
        frame.PaintFrame(clRed, "Preview... (Cancel=Esc)");
        frame.ShowOnTop();
        if (round % 2 == 0) {  // every other desktop goes only once presses are coming in
            const int before = heard;
            ASSERT_TRUE(loop_.RunUntil([&] { return heard > before; }, std::chrono::milliseconds(10000)));
        }
        const int heardBeforeReset = heard;
        desktop.reset();  // with repaints and key presses still on their way to the main thread
        frame.PaintFrame(clLime, "Preview... (Cancel=Esc)");
        frame.Hide();
        loop_.RunFor(std::chrono::milliseconds(5));
        EXPECT_EQ(heard, heardBeforeReset) << "a key press reached the handler of a desktop that had gone";
    }
}

// The server ends our connection (as when it goes away): an error state, never a crash or a hang.
TEST_F(X11DesktopLifetimeTest, LostConnectionLeavesEveryServiceFailingQuietly) {
    ASSERT_TRUE(desktop_->HotKeys().Register(HotKey::Pause));
    auto overlay = desktop_->CreateOverlayWindow();
    overlay->SetBounds(Rect{50, 50, 100, 100});
    overlay->ShowOnTop();
    ASSERT_FALSE(desktop_->ConnectionLost());
    Point pointer;
    ASSERT_TRUE(desktop_->Locator().PointerPosition(pointer));  // a round trip: the server knows the window

    client_.KillClientOf(static_cast<std::uint32_t>(overlay->NativeId()));
    // The event thread is the first to read from the dead connection.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!desktop_->ConnectionLost() && std::chrono::steady_clock::now() < deadline) {
        loop_.RunFor(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(desktop_->ConnectionLost());

    Rect found;
    EXPECT_FALSE(desktop_->Locator().PointerPosition(pointer));
    EXPECT_FALSE(desktop_->Locator().WindowRectAt(Point{10, 10}, 0, found));
    EXPECT_FALSE(desktop_->HotKeys().Register(HotKey::Escape));
    desktop_->HotKeys().Unregister(HotKey::Pause);
    EXPECT_EQ(overlay->TextExtent("text"), Size{});
    overlay->SetShape({Rect{0, 0, 10, 10}});
    overlay->Paint("text", Point{0, 0}, clBlack, clYellow, Rect{0, 13, 100, 87}, clRed);
    overlay->Hide();
    auto late = desktop_->CreateOverlayWindow();
    ASSERT_NE(late, nullptr);
    late->ShowOnTop();
    desktop_.reset();
    overlay.reset();
}

}  // namespace
}  // namespace tolm::testing

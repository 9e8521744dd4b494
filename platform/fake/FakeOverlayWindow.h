#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/OverlayWindow.h"
#include "platform/WindowLocator.h"

namespace tolm {

// An overlay window that remembers what it was told; captions measure as the test says.
class FakeOverlayWindow final : public OverlayWindow {
  public:
    struct Painted {
        std::string caption;
        Point captionAt;
        TColor text;
        TColor back;
        Rect frame;
        TColor frameColor;
    };

    explicit FakeOverlayWindow(Size captionSize = {150, 13}) : captionSize_(captionSize) {}

    Size TextExtent(const std::string&) override { return captionSize_; }
    void SetBounds(const Rect& screen) override { bounds = screen; }
    void SetShape(const std::vector<Rect>& rects) override { shape = rects; }
    void Paint(const std::string& caption, Point captionAt, TColor text, TColor back, const Rect& frame,
               TColor frameColor) override {
        paints.push_back(Painted{caption, captionAt, text, back, frame, frameColor});
    }
    void ShowOnTop() override {
        showing = true;
        ++raised;
    }
    void Hide() override { showing = false; }
    bool Showing() const override { return showing; }
    std::uint64_t NativeId() const override { return 0x5EED; }

    Rect bounds;
    std::vector<Rect> shape;
    std::vector<Painted> paints;
    bool showing = false;
    int raised = 0;

  private:
    Size captionSize_;
};

// A desktop of scripted windows, topmost last.
class FakeWindowLocator final : public WindowLocator {
  public:
    bool PointerPosition(Point& position) override {
        position = pointer;
        return true;
    }
    bool WindowRectAt(Point p, std::uint64_t ignoreWindow, Rect& rect) override {
        lastIgnored = ignoreWindow;
        for (auto it = windows.rbegin(); it != windows.rend(); ++it)
            if (p.x >= it->left && p.x < it->Right() && p.y >= it->top && p.y < it->Bottom()) {
                rect = *it;
                return true;
            }
        return false;
    }

    bool ShowsOnScreen(std::uint64_t window) override { return shows && shows(window); }

    Point pointer;
    std::vector<Rect> windows;
    std::uint64_t lastIgnored = 0;
    std::function<bool(std::uint64_t window)> shows;
};

}  // namespace tolm

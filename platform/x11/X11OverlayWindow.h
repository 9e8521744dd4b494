#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/OverlayWindow.h"
#include "platform/x11/X11DesktopCore.h"
#include "platform/x11/X11Resources.h"

namespace tolm {

// An override-redirect window shaped with SHAPE: the window manager never sees it, so it never takes the
// focus; its bounding and input shapes are the same rectangles, so the pointer passes through the holes.
// The server fills exposed parts with the frame colour at once; the caption comes back when the main thread
// repaints the last Paint. Captions are drawn byte by byte in the core font "fixed" (Latin-1), which covers
// the recorder's own captions. After the connection is lost every call does nothing.
class X11OverlayWindow final : public OverlayWindow {
  public:
    explicit X11OverlayWindow(std::shared_ptr<x11::DesktopCore> core);
    ~X11OverlayWindow() override;
    X11OverlayWindow(const X11OverlayWindow&) = delete;
    X11OverlayWindow& operator=(const X11OverlayWindow&) = delete;

    // The caption's logical width and the font's line height (ascent + descent).
    Size TextExtent(const std::string& text) override;
    void SetBounds(const Rect& screen) override;
    void SetShape(const std::vector<Rect>& shape) override;
    void Paint(const std::string& caption, Point captionAt, TColor captionText, TColor captionBack, const Rect& frame,
               TColor frameColor) override;
    void ShowOnTop() override;
    void Hide() override;
    bool Showing() const override { return showing_; }
    std::uint64_t NativeId() const override { return window_.Id(); }

    // Draws the last Paint again; the desktop calls it on the main thread after an Expose.
    void Repaint();

  private:
    struct Painting {
        bool done = false;
        std::string caption;
        Point captionAt;
        std::uint32_t textPixel = 0;
        std::uint32_t backPixel = 0;
        Rect frame;
        std::uint32_t framePixel = 0;
    };

    bool Usable() const { return window_.Id() != XCB_NONE && !core_->Lost(); }
    void Draw();
    void DrawCaption();
    Size Measure(const std::string& text);

    std::shared_ptr<x11::DesktopCore> core_;  // first member: the connection outlives the window
    x11::XcbWindow window_;
    x11::XcbGc gc_;
    Painting painting_;
    bool showing_ = false;
    int fontAscent_ = -1;  // learnt with the first measurement
    bool measured_ = false;
    std::string measuredText_;  // the last caption measured and its size: the frame asks every tick
    Size measuredSize_;
};

}  // namespace tolm

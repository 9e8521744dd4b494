#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "imaging/Color.h"
#include "platform/x11/X11Resources.h"
#include "platform/x11/XcbHandles.h"

namespace tolm {
class X11OverlayWindow;
}

namespace tolm::x11 {

// What the parts of the X11 desktop share: one connection, the screen it shows, the caption font and the
// overlay windows waiting for a repaint. Overlay windows hold it too, so they may outlive the desktop.
class DesktopCore {
    struct Key {  // only Connect constructs
        explicit Key() = default;
    };

  public:
    // Opens `displayName` (empty: $DISPLAY). Null with `error` set when the display cannot be used: no
    // server, no SHAPE extension (a frame without a hole would cover what it frames), no core font "fixed".
    static std::shared_ptr<DesktopCore> Connect(const std::string& displayName, std::string& error);

    DesktopCore(Key, XcbConnection connection, const xcb_screen_t* screen, std::string displayName);
    ~DesktopCore();
    DesktopCore(const DesktopCore&) = delete;
    DesktopCore& operator=(const DesktopCore&) = delete;

    xcb_connection_t* Connection() const { return connection_.get(); }
    const xcb_screen_t& Screen() const { return *screen_; }
    xcb_window_t Root() const { return screen_->root; }
    xcb_font_t Font() const { return font_.Id(); }
    // Whether the server can give a window an input shape of its own (SHAPE 1.1).
    bool HasInputShape() const { return inputShape_; }
    bool Lost() const { return xcb_connection_has_error(connection_.get()) != 0; }
    const std::string& DisplayName() const { return displayName_; }

    // The screen's pixel value for a 0x00BBGGRR colour.
    std::uint32_t PixelOf(TColor colour);

    // Overlay windows register themselves so that the event thread can tell their Expose events apart.
    void AddOverlay(xcb_window_t window, X11OverlayWindow& overlay);
    void RemoveOverlay(xcb_window_t window);
    // Event thread: notes that `window` needs a repaint. True when the caller must post RepaintDamaged to
    // the main thread (nothing was pending yet); false also for windows that are not ours.
    bool MarkDamaged(xcb_window_t window);
    // Main thread: repaints every overlay marked since the last call.
    void RepaintDamaged();

  private:
    bool OpenFont(std::string& error);
    void DescribeVisual();

    XcbConnection connection_;  // first member: closed after everything made on it
    const xcb_screen_t* screen_;
    std::string displayName_;
    bool inputShape_ = false;
    XcbFont font_;

    bool channelMasks_ = false;  // TrueColor or DirectColor: pixels are built from the masks
    std::uint32_t redMask_ = 0;
    std::uint32_t greenMask_ = 0;
    std::uint32_t blueMask_ = 0;
    std::mutex colourMutex_;
    std::map<TColor, std::uint32_t> allocated_;  // colour-mapped screens: cells already allocated

    std::mutex overlayMutex_;  // guards overlays_ and damaged_; held while a window repaints
    std::map<xcb_window_t, X11OverlayWindow*> overlays_;
    std::set<xcb_window_t> damaged_;
};

}  // namespace tolm::x11

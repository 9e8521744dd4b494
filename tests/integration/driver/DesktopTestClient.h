#pragma once

#include "integration/Requirements.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/Geometry.h"
#include "platform/EventLoop.h"
#include "platform/ScreenSource.h"
#include "platform/x11/XcbHandles.h"

namespace tolm::testing {

// Keysyms the tests press (values of the X protocol's keysym table).
inline constexpr xcb_keysym_t kEscape = 0xFF1B;
inline constexpr xcb_keysym_t kReturn = 0xFF0D;
inline constexpr xcb_keysym_t kKeypadEnter = 0xFF8D;
inline constexpr xcb_keysym_t kPause = 0xFF13;
inline constexpr xcb_keysym_t kShiftL = 0xFFE1;
inline constexpr xcb_keysym_t kControlL = 0xFFE3;
inline constexpr xcb_keysym_t kNumLock = 0xFF7F;
inline constexpr xcb_keysym_t kCapsLock = 0xFFE5;

// A second client of $DISPLAY that plays the rest of the desktop: windows of known colours, the pointer and
// the keyboard through XTEST, the input focus, and key grabs of another program.
class DesktopTestClient {
  public:
    DesktopTestClient();
    ~DesktopTestClient();  // its windows and grabs go with it
    DesktopTestClient(const DesktopTestClient&) = delete;
    DesktopTestClient& operator=(const DesktopTestClient&) = delete;

    bool Connected() const;
    Rect RootArea() const;

    // Maps a window filled with `rgb` (0xRRGGBB) whose outer rectangle, border included, is `outer` in
    // `parent`'s coordinates (the root when none). Top-level windows bypass any window manager unless
    // `managed` is set.
    xcb_window_t ShowWindow(const Rect& outer, std::uint32_t rgb, xcb_window_t parent = XCB_NONE, int border = 0,
                            bool managed = false);
    void Unmap(xcb_window_t window);
    void Map(xcb_window_t window);

    void MovePointer(Point to);
    // Presses (down) or releases pointer button `button`, or the key of `keysym`, and leaves it so.
    void Button(std::uint8_t button, bool down);
    void Key(xcb_keysym_t keysym, bool down);
    // The root's child under the pointer, as the server decides where pointer events go.
    xcb_window_t TopLevelUnderPointer();
    // The state of the modifiers and locks now.
    std::uint16_t ModifierState();

    xcb_keycode_t KeycodeOf(xcb_keysym_t keysym);
    // The modifier bit a lock key sets (Num Lock usually Mod2); 0 when it is no modifier.
    std::uint16_t ModifierOf(xcb_keysym_t keysym);
    // Presses the modifiers in order, presses and releases `keycode`, then releases the modifiers.
    void Tap(xcb_keycode_t keycode, std::initializer_list<xcb_keysym_t> modifiers = {});
    void Tap(xcb_keysym_t keysym, std::initializer_list<xcb_keysym_t> modifiers = {}) {
        Tap(KeycodeOf(keysym), modifiers);
    }
    // Switches the lock of `lockKeysym` (Num Lock, Caps Lock) on or off.
    void SetLock(xcb_keysym_t lockKeysym, bool on);

    // A passive grab of this client, as another program would hold a key; false when refused.
    bool GrabKey(xcb_keycode_t keycode, std::uint16_t modifiers);
    // Waits for a key press on this client's grabs; false when none came in time.
    bool WaitForKeyPress(xcb_keycode_t keycode, std::chrono::milliseconds timeout);

    // A keycode that types nothing; 0 when every key is used.
    xcb_keycode_t UnusedKeycode();
    // Gives `keycode` the single keysym `keysym` (0: none), as a keymap tool would.
    void SetKeysym(xcb_keycode_t keycode, xcb_keysym_t keysym);

    xcb_window_t InputFocus();
    void SetInputFocus(xcb_window_t window);

    // Makes the server close the connection of the client that made `resource`.
    void KillClientOf(std::uint32_t resource);

    // A round trip: everything sent before has been carried out by the server.
    void Sync();

  private:
    void FakeKey(std::uint8_t type, xcb_keycode_t keycode);

    x11::XcbConnection connection_;
    const xcb_screen_t* screen_ = nullptr;
    std::vector<xcb_window_t> windows_;
    std::vector<xcb_keycode_t> remapped_;  // given back their empty mapping when the client goes
};

// Lets the main thread run (repaints arrive through it) and grabs `area` until `matches` accepts the image
// or a few seconds pass. Returns whether it matched; `image` holds the last grab.
bool WaitForScreen(EventLoop& loop, ScreenSource& screen, const Rect& area, Bitmap& image,
                   const std::function<bool(const Bitmap&)>& matches);

}  // namespace tolm::testing

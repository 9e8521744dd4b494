#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/HotKeys.h"
#include "platform/x11/X11DesktopCore.h"
#include "platform/x11/X11KeyboardMap.h"

namespace tolm {

// The recorder's keys as passive grabs on the root window, one for every state of Caps Lock, Num Lock and
// Scroll Lock, so a lit lock does not switch them off. A key another client has grabbed cannot be had:
// Register says so and the key does nothing. Main thread only; the desktop's event thread hands key presses
// and keyboard mapping changes over through the main thread.
class X11HotKeys final : public GlobalHotKeys {
  public:
    explicit X11HotKeys(std::shared_ptr<x11::DesktopCore> core);
    ~X11HotKeys() override;  // lets every grab go
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    void SetHandler(std::function<void(HotKey)> handler) override;
    bool Register(HotKey key) override;
    void Unregister(HotKey key) override;

    // A key press that reached one of our grabs, as the server reported it.
    void KeyPressed(xcb_keycode_t keycode, std::uint16_t state);
    // The keyboard or modifier mapping changed: the keys may sit on other keycodes now. A key that cannot
    // be grabbed again is dropped.
    void MappingChanged();

  private:
    struct Binding {
        HotKey key;
        std::uint16_t modifiers;              // Shift or Control, without the locks
        std::vector<xcb_keycode_t> keycodes;  // where the key is now
    };

    Binding Describe(HotKey key) const;
    bool Grab(const Binding& binding);
    void Ungrab(const Binding& binding);

    std::shared_ptr<x11::DesktopCore> core_;
    x11::KeyboardMap keyboard_;
    std::vector<Binding> bindings_;  // registered keys
    std::function<void(HotKey)> handler_;
};

}  // namespace tolm

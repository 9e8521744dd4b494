#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

namespace tolm::x11 {

// The few keysyms the recorder's keys need (values of the X protocol's keysym table).
inline constexpr xcb_keysym_t kKeysymEscape = 0xFF1B;
inline constexpr xcb_keysym_t kKeysymReturn = 0xFF0D;
inline constexpr xcb_keysym_t kKeysymKeypadEnter = 0xFF8D;
inline constexpr xcb_keysym_t kKeysymPause = 0xFF13;
inline constexpr xcb_keysym_t kKeysymNumLock = 0xFF7F;
inline constexpr xcb_keysym_t kKeysymScrollLock = 0xFF14;

// The server's keyboard and modifier mappings, as far as global keys need them.
class KeyboardMap {
  public:
    // Reads both mappings; an empty map when the server does not answer.
    static KeyboardMap Read(xcb_connection_t* connection);

    // The keys that give `keysym` when pressed without modifiers (the first column of the mapping): the
    // Escape key is the one that types Escape, whatever its shifted level holds.
    std::vector<xcb_keycode_t> KeycodesOf(xcb_keysym_t keysym) const;
    // Every combination of the lock modifiers (Caps Lock, and Num Lock and Scroll Lock where they are
    // modifiers), the empty one first.
    std::vector<std::uint16_t> LockCombinations() const;
    // All lock modifier bits together.
    std::uint16_t LockMask() const { return XCB_MOD_MASK_LOCK | numLock_ | scrollLock_; }

  private:
    bool HasKeysym(xcb_keycode_t keycode, xcb_keysym_t keysym) const;
    std::uint16_t ModifierOf(xcb_keysym_t keysym, const std::vector<xcb_keycode_t>& modifierKeys,
                             int keysPerModifier) const;

    int minKeycode_ = 0;
    int keysymsPerKeycode_ = 0;
    std::vector<xcb_keysym_t> keysyms_;  // keysymsPerKeycode_ a key, from minKeycode_ on
    std::uint16_t numLock_ = 0;
    std::uint16_t scrollLock_ = 0;
};

}  // namespace tolm::x11

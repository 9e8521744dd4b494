#include "platform/x11/X11KeyboardMap.h"

#include "platform/x11/XcbHandles.h"

namespace tolm::x11 {

KeyboardMap KeyboardMap::Read(xcb_connection_t* c) {
    KeyboardMap map;
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const auto keyboardCookie =
        xcb_get_keyboard_mapping(c, static_cast<xcb_keycode_t>(first), static_cast<std::uint8_t>(count));
    const auto modifierCookie = xcb_get_modifier_mapping(c);
    const XcbReply<xcb_get_keyboard_mapping_reply_t> keyboard(
        xcb_get_keyboard_mapping_reply(c, keyboardCookie, nullptr));
    const XcbReply<xcb_get_modifier_mapping_reply_t> modifiers(
        xcb_get_modifier_mapping_reply(c, modifierCookie, nullptr));
    if (!keyboard || !modifiers) return KeyboardMap{};

    map.minKeycode_ = first;
    map.keysymsPerKeycode_ = keyboard->keysyms_per_keycode;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(keyboard.get());
    map.keysyms_.assign(keysyms, keysyms + xcb_get_keyboard_mapping_keysyms_length(keyboard.get()));

    const xcb_keycode_t* modifierKeys = xcb_get_modifier_mapping_keycodes(modifiers.get());
    const std::vector<xcb_keycode_t> keys(modifierKeys,
                                          modifierKeys + xcb_get_modifier_mapping_keycodes_length(modifiers.get()));
    map.numLock_ = map.ModifierOf(kKeysymNumLock, keys, modifiers->keycodes_per_modifier);
    map.scrollLock_ = map.ModifierOf(kKeysymScrollLock, keys, modifiers->keycodes_per_modifier);
    return map;
}

bool KeyboardMap::HasKeysym(xcb_keycode_t keycode, xcb_keysym_t keysym) const {
    const int index = keycode - minKeycode_;
    if (index < 0 || keysymsPerKeycode_ <= 0) return false;
    for (int column = 0; column < keysymsPerKeycode_; ++column) {
        const auto at = static_cast<std::size_t>(index * keysymsPerKeycode_ + column);
        if (at < keysyms_.size() && keysyms_[at] == keysym) return true;
    }
    return false;
}

// The Mod1..Mod5 bit whose keys include one that types `keysym`; 0 when none does. Shift, Lock and Control
// keep their meaning whatever is mapped to them.
std::uint16_t KeyboardMap::ModifierOf(xcb_keysym_t keysym, const std::vector<xcb_keycode_t>& modifierKeys,
                                      int keysPerModifier) const {
    for (int modifier = 3; modifier < 8; ++modifier) {
        for (int k = 0; k < keysPerModifier; ++k) {
            const auto at = static_cast<std::size_t>(modifier * keysPerModifier + k);
            if (at < modifierKeys.size() && modifierKeys[at] != 0 && HasKeysym(modifierKeys[at], keysym)) {
                return static_cast<std::uint16_t>(1u << modifier);
            }
        }
    }
    return 0;
}

std::vector<xcb_keycode_t> KeyboardMap::KeycodesOf(xcb_keysym_t keysym) const {
    std::vector<xcb_keycode_t> keycodes;
    if (keysymsPerKeycode_ <= 0) return keycodes;
    const std::size_t keys = keysyms_.size() / static_cast<std::size_t>(keysymsPerKeycode_);
    for (std::size_t i = 0; i < keys; ++i) {
        if (keysyms_[i * static_cast<std::size_t>(keysymsPerKeycode_)] == keysym) {
            keycodes.push_back(static_cast<xcb_keycode_t>(minKeycode_ + static_cast<int>(i)));
        }
    }
    return keycodes;
}

std::vector<std::uint16_t> KeyboardMap::LockCombinations() const {
    std::vector<std::uint16_t> locks{XCB_MOD_MASK_LOCK};
    if (numLock_ != 0) locks.push_back(numLock_);
    if (scrollLock_ != 0 && scrollLock_ != numLock_) locks.push_back(scrollLock_);
    std::vector<std::uint16_t> combinations;
    for (unsigned subset = 0; subset < (1u << locks.size()); ++subset) {
        std::uint16_t mask = 0;
        for (std::size_t bit = 0; bit < locks.size(); ++bit) {
            if (subset & (1u << bit)) mask = static_cast<std::uint16_t>(mask | locks[bit]);
        }
        combinations.push_back(mask);
    }
    return combinations;
}

}  // namespace tolm::x11

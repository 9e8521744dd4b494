#include "platform/x11/X11HotKeys.h"

#include <algorithm>
#include <utility>

#include "platform/x11/SigPipeGuard.h"
#include "platform/x11/XcbHandles.h"

namespace tolm {
namespace {

// The modifier bits a grab can ask for; the pointer buttons in a key event's state are not among them.
constexpr std::uint16_t kModifierBits = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 |
                                        XCB_MOD_MASK_2 | XCB_MOD_MASK_3 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5;

}  // namespace

X11HotKeys::X11HotKeys(std::shared_ptr<x11::DesktopCore> core) : core_(std::move(core)) {
    x11::SigPipeGuard pipeGuard;
    if (!core_->Lost()) keyboard_ = x11::KeyboardMap::Read(core_->Connection());
}

X11HotKeys::~X11HotKeys() {
    x11::SigPipeGuard pipeGuard;
    if (core_->Lost()) return;
    for (const Binding& binding : bindings_) Ungrab(binding);
    xcb_flush(core_->Connection());
}

void X11HotKeys::SetHandler(std::function<void(HotKey)> handler) {
    handler_ = std::move(handler);
}

X11HotKeys::Binding X11HotKeys::Describe(HotKey key) const {
    switch (key) {
        case HotKey::ShiftEscape:
            return Binding{key, XCB_MOD_MASK_SHIFT, keyboard_.KeycodesOf(x11::kKeysymEscape)};
        case HotKey::Escape:
            return Binding{key, 0, keyboard_.KeycodesOf(x11::kKeysymEscape)};
        case HotKey::CtrlReturn: {
            Binding binding{key, XCB_MOD_MASK_CONTROL, keyboard_.KeycodesOf(x11::kKeysymReturn)};
            for (const xcb_keycode_t keycode : keyboard_.KeycodesOf(x11::kKeysymKeypadEnter)) {
                binding.keycodes.push_back(keycode);
            }
            return binding;
        }
        case HotKey::Pause:
            return Binding{key, 0, keyboard_.KeycodesOf(x11::kKeysymPause)};
    }
    return Binding{key, 0, {}};
}

// All or nothing: when the server refuses one combination (another client holds it), the ones already
// taken are let go again. Ungrabbing touches only grabs of this client.
bool X11HotKeys::Grab(const Binding& binding) {
    if (binding.keycodes.empty()) return false;
    xcb_connection_t* c = core_->Connection();
    std::vector<xcb_void_cookie_t> cookies;
    for (const xcb_keycode_t keycode : binding.keycodes) {
        for (const std::uint16_t locks : keyboard_.LockCombinations()) {
            cookies.push_back(xcb_grab_key_checked(c, 0, core_->Root(),
                                                   static_cast<std::uint16_t>(binding.modifiers | locks), keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    bool granted = true;
    for (const xcb_void_cookie_t cookie : cookies) {
        const x11::XcbError error(xcb_request_check(c, cookie));
        if (error) granted = false;
    }
    if (granted && !core_->Lost()) return true;
    if (!core_->Lost()) {
        Ungrab(binding);
        xcb_flush(c);
    }
    return false;
}

void X11HotKeys::Ungrab(const Binding& binding) {
    for (const xcb_keycode_t keycode : binding.keycodes) {
        for (const std::uint16_t locks : keyboard_.LockCombinations()) {
            xcb_ungrab_key(core_->Connection(), keycode, core_->Root(),
                           static_cast<std::uint16_t>(binding.modifiers | locks));
        }
    }
}

bool X11HotKeys::Register(HotKey key) {
    const auto known =
        std::find_if(bindings_.begin(), bindings_.end(), [key](const Binding& b) { return b.key == key; });
    if (known != bindings_.end()) return true;
    x11::SigPipeGuard pipeGuard;
    if (core_->Lost()) return false;
    Binding binding = Describe(key);
    if (!Grab(binding)) return false;
    bindings_.push_back(std::move(binding));
    return true;
}

void X11HotKeys::Unregister(HotKey key) {
    const auto known =
        std::find_if(bindings_.begin(), bindings_.end(), [key](const Binding& b) { return b.key == key; });
    if (known == bindings_.end()) return;
    x11::SigPipeGuard pipeGuard;
    if (!core_->Lost()) {
        Ungrab(*known);
        xcb_flush(core_->Connection());
    }
    bindings_.erase(known);
}

void X11HotKeys::KeyPressed(xcb_keycode_t keycode, std::uint16_t state) {
    const std::uint16_t modifiers = state & kModifierBits & static_cast<std::uint16_t>(~keyboard_.LockMask());
    for (const Binding& binding : bindings_) {
        if (binding.modifiers != modifiers) continue;
        if (std::find(binding.keycodes.begin(), binding.keycodes.end(), keycode) == binding.keycodes.end()) continue;
        // The handler may unregister keys or replace itself.
        const std::function<void(HotKey)> handler = handler_;
        if (handler) handler(binding.key);
        return;
    }
}

void X11HotKeys::MappingChanged() {
    x11::SigPipeGuard pipeGuard;
    if (core_->Lost()) return;
    for (const Binding& binding : bindings_) Ungrab(binding);  // with the lock combinations they were made with
    keyboard_ = x11::KeyboardMap::Read(core_->Connection());
    std::vector<Binding> kept;
    for (const Binding& old : bindings_) {
        Binding binding = Describe(old.key);
        if (Grab(binding)) kept.push_back(std::move(binding));
    }
    bindings_ = std::move(kept);
    xcb_flush(core_->Connection());
}

}  // namespace tolm

#include "integration/driver/DesktopTestClient.h"

#include <poll.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>

namespace tolm::testing {
namespace {

template <class R>
using Reply = x11::XcbReply<R>;

struct Mapping {
    int minKeycode = 0;
    int perKeycode = 0;
    std::vector<xcb_keysym_t> keysyms;
};

Mapping ReadMapping(xcb_connection_t* c) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const Reply<xcb_get_keyboard_mapping_reply_t> reply(xcb_get_keyboard_mapping_reply(
        c,
        xcb_get_keyboard_mapping(c, setup->min_keycode,
                                 static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1)),
        nullptr));
    Mapping mapping;
    if (!reply) return mapping;
    mapping.minKeycode = setup->min_keycode;
    mapping.perKeycode = reply->keysyms_per_keycode;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply.get());
    mapping.keysyms.assign(keysyms, keysyms + xcb_get_keyboard_mapping_keysyms_length(reply.get()));
    return mapping;
}

}  // namespace

DesktopTestClient::DesktopTestClient() {
    int screenNumber = 0;
    connection_.reset(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(connection_.get())) return;
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection_.get()));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    screen_ = it.rem ? it.data : nullptr;
}

DesktopTestClient::~DesktopTestClient() {
    if (!Connected()) return;
    for (const xcb_keycode_t keycode : remapped_) SetKeysym(keycode, 0);
    for (const xcb_window_t window : windows_) xcb_destroy_window(connection_.get(), window);
    Sync();
}

bool DesktopTestClient::Connected() const {
    return connection_ && !xcb_connection_has_error(connection_.get()) && screen_ != nullptr;
}

Rect DesktopTestClient::RootArea() const {
    return Rect{0, 0, screen_->width_in_pixels, screen_->height_in_pixels};
}

xcb_window_t DesktopTestClient::ShowWindow(const Rect& outer, std::uint32_t rgb, xcb_window_t parent, int border,
                                           bool managed) {
    xcb_connection_t* c = connection_.get();
    const xcb_window_t window = xcb_generate_id(c);
    // A 24-bit TrueColor screen: the pixel value is the RGB value. Values in the order of their mask bits.
    const std::uint32_t values[] = {rgb, 0, managed || parent != XCB_NONE ? 0u : 1u};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, parent == XCB_NONE ? screen_->root : parent,
                      static_cast<std::int16_t>(outer.left), static_cast<std::int16_t>(outer.top),
                      static_cast<std::uint16_t>(outer.width - 2 * border),
                      static_cast<std::uint16_t>(outer.height - 2 * border), static_cast<std::uint16_t>(border),
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(c, window);
    windows_.push_back(window);
    Sync();
    return window;
}

void DesktopTestClient::Unmap(xcb_window_t window) {
    xcb_unmap_window(connection_.get(), window);
    Sync();
}

void DesktopTestClient::Map(xcb_window_t window) {
    xcb_map_window(connection_.get(), window);
    Sync();
}

void DesktopTestClient::MovePointer(Point to) {
    xcb_test_fake_input(connection_.get(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, screen_->root,
                        static_cast<std::int16_t>(to.x), static_cast<std::int16_t>(to.y), 0);
    Sync();
}

void DesktopTestClient::Button(std::uint8_t button, bool down) {
    xcb_test_fake_input(connection_.get(), down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME,
                        XCB_NONE, 0, 0, 0);
    Sync();
}

void DesktopTestClient::Key(xcb_keysym_t keysym, bool down) {
    FakeKey(down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, KeycodeOf(keysym));
    Sync();
}

xcb_window_t DesktopTestClient::TopLevelUnderPointer() {
    xcb_connection_t* c = connection_.get();
    const Reply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, screen_->root), nullptr));
    return pointer ? pointer->child : XCB_NONE;
}

std::uint16_t DesktopTestClient::ModifierState() {
    xcb_connection_t* c = connection_.get();
    const Reply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, screen_->root), nullptr));
    return pointer ? static_cast<std::uint16_t>(pointer->mask & 0xFF) : 0;
}

xcb_keycode_t DesktopTestClient::KeycodeOf(xcb_keysym_t keysym) {
    const Mapping mapping = ReadMapping(connection_.get());
    for (std::size_t at = 0; mapping.perKeycode > 0 && at < mapping.keysyms.size(); ++at) {
        if (mapping.keysyms[at] == keysym) {
            return static_cast<xcb_keycode_t>(mapping.minKeycode + static_cast<int>(at) / mapping.perKeycode);
        }
    }
    return 0;
}

std::uint16_t DesktopTestClient::ModifierOf(xcb_keysym_t keysym) {
    const xcb_keycode_t keycode = KeycodeOf(keysym);
    xcb_connection_t* c = connection_.get();
    const Reply<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (!reply || keycode == 0) return 0;
    const xcb_keycode_t* keys = xcb_get_modifier_mapping_keycodes(reply.get());
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int k = 0; k < reply->keycodes_per_modifier; ++k) {
            if (keys[modifier * reply->keycodes_per_modifier + k] == keycode) {
                return static_cast<std::uint16_t>(1u << modifier);
            }
        }
    }
    return 0;
}

void DesktopTestClient::FakeKey(std::uint8_t type, xcb_keycode_t keycode) {
    xcb_test_fake_input(connection_.get(), type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

void DesktopTestClient::Tap(xcb_keycode_t keycode, std::initializer_list<xcb_keysym_t> modifiers) {
    for (const xcb_keysym_t modifier : modifiers) FakeKey(XCB_KEY_PRESS, KeycodeOf(modifier));
    FakeKey(XCB_KEY_PRESS, keycode);
    FakeKey(XCB_KEY_RELEASE, keycode);
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) FakeKey(XCB_KEY_RELEASE, KeycodeOf(*it));
    Sync();
}

void DesktopTestClient::SetLock(xcb_keysym_t lockKeysym, bool on) {
    const std::uint16_t mask = ModifierOf(lockKeysym);
    if (mask != 0 && ((ModifierState() & mask) != 0) != on) Tap(lockKeysym);
}

bool DesktopTestClient::GrabKey(xcb_keycode_t keycode, std::uint16_t modifiers) {
    xcb_connection_t* c = connection_.get();
    const x11::XcbError error(xcb_request_check(
        c, xcb_grab_key_checked(c, 1, screen_->root, modifiers, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
    return !error;
}

bool DesktopTestClient::WaitForKeyPress(xcb_keycode_t keycode, std::chrono::milliseconds timeout) {
    xcb_connection_t* c = connection_.get();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(c)) {
            const x11::XcbReply<xcb_generic_event_t> event(raw);
            if ((event->response_type & 0x7F) == XCB_KEY_PRESS &&
                reinterpret_cast<const xcb_key_press_event_t*>(event.get())->detail == keycode) {
                return true;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || xcb_connection_has_error(c)) return false;
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
}

xcb_keycode_t DesktopTestClient::UnusedKeycode() {
    const Mapping mapping = ReadMapping(connection_.get());
    if (mapping.perKeycode <= 0) return 0;
    const auto per = static_cast<std::size_t>(mapping.perKeycode);
    for (std::size_t key = mapping.keysyms.size() / per; key-- > 0;) {
        bool empty = true;
        for (std::size_t column = 0; column < per; ++column) empty = empty && mapping.keysyms[key * per + column] == 0;
        if (empty) return static_cast<xcb_keycode_t>(mapping.minKeycode + static_cast<int>(key));
    }
    return 0;
}

void DesktopTestClient::SetKeysym(xcb_keycode_t keycode, xcb_keysym_t keysym) {
    const Mapping mapping = ReadMapping(connection_.get());
    std::vector<xcb_keysym_t> keysyms(static_cast<std::size_t>(mapping.perKeycode), 0);
    if (keysyms.empty()) return;
    keysyms[0] = keysym;
    xcb_change_keyboard_mapping(connection_.get(), 1, keycode, static_cast<std::uint8_t>(keysyms.size()),
                                keysyms.data());
    if (keysym != 0) remapped_.push_back(keycode);
    Sync();
}

xcb_window_t DesktopTestClient::InputFocus() {
    xcb_connection_t* c = connection_.get();
    const Reply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return focus ? focus->focus : XCB_NONE;
}

void DesktopTestClient::SetInputFocus(xcb_window_t window) {
    xcb_set_input_focus(connection_.get(), XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    Sync();
}

void DesktopTestClient::KillClientOf(std::uint32_t resource) {
    xcb_kill_client(connection_.get(), resource);
    Sync();
}

void DesktopTestClient::Sync() {
    xcb_connection_t* c = connection_.get();
    const Reply<xcb_get_input_focus_reply_t> reply(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

bool WaitForScreen(EventLoop& loop, ScreenSource& screen, const Rect& area, Bitmap& image,
                   const std::function<bool(const Bitmap&)>& matches) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        loop.RunFor(std::chrono::milliseconds(10));
        if (screen.Grab(area, image) && matches(image)) return true;
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

}  // namespace tolm::testing

#include "X11TestClient.h"

#include <xcb/randr.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace tolm::testing {

std::uint32_t BlockWindow::ColourAt(int x, int y) const {
    const int column = x - origin.x < kWidth / 2 ? 0 : 1;
    const int row = y - origin.y < kHeight / 2 ? 0 : 1;
    return kColours[static_cast<std::size_t>(row * 2 + column)];
}

X11TestClient::X11TestClient(const std::string& displayName) {
    // An Xvfb without -noreset resets itself whenever its last client leaves, as between two test processes,
    // and drops the connections that arrive meanwhile. Once we are connected it stays up for the source too.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int screenNumber = 0;
    do {
        connection_.reset(xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screenNumber));
    } while (xcb_connection_has_error(connection_.get()) && (HaveDisplay() || !displayName.empty()) &&
             std::chrono::steady_clock::now() < deadline);
    if (xcb_connection_has_error(connection_.get())) return;
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection_.get()));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    screen_ = it.rem ? it.data : nullptr;
}

X11TestClient::~X11TestClient() {
    if (!Connected()) return;
    for (const xcb_window_t id : windows_) xcb_destroy_window(connection_.get(), id);
    for (const xcb_pixmap_t id : pixmaps_) xcb_free_pixmap(connection_.get(), id);
    if (rootCursorSet_) SetRootCursor(0, 0);  // the root outlives this client
    Sync();
}

bool X11TestClient::Connected() const {
    return connection_ && !xcb_connection_has_error(connection_.get()) && screen_ != nullptr;
}

Rect X11TestClient::RootArea() const {
    return Rect{0, 0, screen_->width_in_pixels, screen_->height_in_pixels};
}

BlockWindow X11TestClient::ShowBlocks(Point origin) {
    xcb_connection_t* c = connection_.get();
    const BlockWindow window{origin};

    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen_->root_depth, pixmap, screen_->root, BlockWindow::kWidth, BlockWindow::kHeight);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, 0, nullptr);
    for (std::size_t i = 0; i < BlockWindow::kColours.size(); ++i) {
        const std::uint32_t colour = BlockWindow::kColours[i];  // TrueColor with 8-bit channels: pixel == RGB
        xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &colour);
        const xcb_rectangle_t quadrant{static_cast<std::int16_t>(i % 2 * BlockWindow::kWidth / 2),
                                       static_cast<std::int16_t>(i / 2 * BlockWindow::kHeight / 2),
                                       BlockWindow::kWidth / 2, BlockWindow::kHeight / 2};
        xcb_poly_fill_rectangle(c, pixmap, gc, 1, &quadrant);
    }
    xcb_free_gc(c, gc);

    const xcb_window_t id = xcb_generate_id(c);
    const std::uint32_t values[] = {pixmap, 1};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, id, screen_->root, static_cast<std::int16_t>(origin.x),
                      static_cast<std::int16_t>(origin.y), BlockWindow::kWidth, BlockWindow::kHeight, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                      XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(c, id);
    windows_.push_back(id);
    pixmaps_.push_back(pixmap);
    Sync();
    return window;
}

void X11TestClient::MovePointer(int x, int y) {
    xcb_test_fake_input(connection_.get(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, screen_->root,
                        static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
    Sync();
}

void X11TestClient::SetRootCursor(int width, int height) {
    xcb_connection_t* c = connection_.get();
    std::uint32_t cursor = XCB_NONE;
    if (width > 0 && height > 0) {
        const xcb_pixmap_t bits = xcb_generate_id(c);
        xcb_create_pixmap(c, 1, bits, screen_->root, static_cast<std::uint16_t>(width),
                          static_cast<std::uint16_t>(height));
        const xcb_gcontext_t gc = xcb_generate_id(c);
        const std::uint32_t one = 1;
        xcb_create_gc(c, gc, bits, XCB_GC_FOREGROUND, &one);
        const xcb_rectangle_t all{0, 0, static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height)};
        xcb_poly_fill_rectangle(c, bits, gc, 1, &all);
        xcb_free_gc(c, gc);
        cursor = xcb_generate_id(c);
        xcb_create_cursor(c, cursor, bits, bits, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0, 0, 0);
        xcb_free_pixmap(c, bits);
    }
    xcb_change_window_attributes(c, screen_->root, XCB_CW_CURSOR, &cursor);
    if (cursor != XCB_NONE) xcb_free_cursor(c, cursor);  // the root keeps it
    rootCursorSet_ = cursor != XCB_NONE;
    Sync();
}

bool X11TestClient::ResizeRoot(int width, int height) {
    xcb_connection_t* c = connection_.get();
    const x11::XcbReply<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 3), nullptr));
    const x11::XcbReply<xcb_randr_get_screen_resources_current_reply_t> resources(
        xcb_randr_get_screen_resources_current_reply(c, xcb_randr_get_screen_resources_current(c, screen_->root),
                                                     nullptr));
    if (!version || !resources) return false;
    // A CRTC showing a larger mode would not fit the smaller screen.
    const xcb_randr_crtc_t* crtcs = xcb_randr_get_screen_resources_current_crtcs(resources.get());
    for (int i = 0; i < xcb_randr_get_screen_resources_current_crtcs_length(resources.get()); ++i) {
        const x11::XcbReply<xcb_randr_set_crtc_config_reply_t> off(xcb_randr_set_crtc_config_reply(
            c,
            xcb_randr_set_crtc_config(c, crtcs[i], XCB_CURRENT_TIME, resources->config_timestamp, 0, 0, XCB_NONE,
                                      XCB_RANDR_ROTATION_ROTATE_0, 0, nullptr),
            nullptr));
        if (!off || off->status != XCB_RANDR_SET_CONFIG_SUCCESS) return false;
    }
    // Millimetres at about 96 dpi; the server only stores them.
    const x11::XcbError error(xcb_request_check(
        c, xcb_randr_set_screen_size_checked(c, screen_->root, static_cast<std::uint16_t>(width),
                                             static_cast<std::uint16_t>(height), static_cast<std::uint32_t>(width / 4),
                                             static_cast<std::uint32_t>(height / 4))));
    return !error;
}

void X11TestClient::Sync() {
    xcb_connection_t* c = connection_.get();
    const x11::XcbReply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    // Nothing is selected, so only errors could be queued; the checks are on the grabbed pixels.
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) std::free(event);
}

bool GrabUntil(ScreenSource& source, const Rect& area, Bitmap& dst, X11TestClient& client,
               const std::function<bool(const Bitmap&)>& matches) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    bool grabbed = false;
    do {
        client.Sync();
        grabbed = source.Grab(area, dst);
        if (grabbed && matches(dst)) return true;
    } while (std::chrono::steady_clock::now() < deadline);
    return grabbed;
}

int LitPixelsOffRoot(const Bitmap& image, const Rect& area, const Rect& root) {
    int lit = 0;
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const long rootX = static_cast<long>(area.left) + x;
            const long rootY = static_cast<long>(area.top) + y;
            const bool onRoot =
                rootX >= root.left && rootX < root.Right() && rootY >= root.top && rootY < root.Bottom();
            if (!onRoot && image.PixelRGB(x, y) != 0) ++lit;
        }
    }
    return lit;
}

bool ShowsBlocks(const Bitmap& image, const Rect& area, const BlockWindow& window) {
    const Rect overlap = Intersect(area, window.Area());
    for (int y = overlap.top; y < overlap.Bottom(); ++y) {
        for (int x = overlap.left; x < overlap.Right(); ++x) {
            if (image.PixelRGB(x - area.left, y - area.top) != window.ColourAt(x, y)) return false;
        }
    }
    return true;
}

}  // namespace tolm::testing

#include "FlashWindow.h"

namespace tolm::avsync {

FlashWindow::FlashWindow(int width, int height) : c_(xcb_connect(nullptr, nullptr)), width_(width), height_(height) {
    if (xcb_connection_has_error(c_.get())) {
        error_ = "cannot open the X display";
        return;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_.get())).data;
    white_ = screen->white_pixel;
    black_ = screen->black_pixel;
    window_ = xcb_generate_id(c_.get());
    const uint32_t values[] = {black_, 1, XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(c_.get(), XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, static_cast<uint16_t>(width_),
                      static_cast<uint16_t>(height_), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    gc_ = xcb_generate_id(c_.get());
    const uint32_t noExposures = 0;
    xcb_create_gc(c_.get(), gc_, window_, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    xcb_map_window(c_.get(), window_);
    xcb_flush(c_.get());
    // Drawing before the first exposure would be lost.
    for (;;) {
        XcbPtr<xcb_generic_event_t> event(xcb_wait_for_event(c_.get()));
        if (!event) {
            error_ = "lost the X display";
            return;
        }
        if ((event->response_type & 0x7F) == XCB_EXPOSE) break;
    }
    Paint(false);
}

FlashWindow::~FlashWindow() {
    if (xcb_connection_has_error(c_.get())) return;
    if (gc_) xcb_free_gc(c_.get(), gc_);
    if (window_) xcb_destroy_window(c_.get(), window_);
    xcb_flush(c_.get());
}

FlashWindow::Clock::time_point FlashWindow::Paint(bool white) {
    const uint32_t colour = white ? white_ : black_;
    xcb_change_gc(c_.get(), gc_, XCB_GC_FOREGROUND, &colour);
    const xcb_rectangle_t all{0, 0, static_cast<uint16_t>(width_), static_cast<uint16_t>(height_)};
    xcb_poly_fill_rectangle(c_.get(), window_, gc_, 1, &all);
    // A round trip: the fill is on the screen when the reply comes back.
    XcbPtr<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(c_.get(), xcb_get_input_focus(c_.get()), nullptr));
    // Exposures only happen if something covered the window; the next flash repaints it anyway.
    while (XcbPtr<xcb_generic_event_t> event{xcb_poll_for_event(c_.get())}) {
    }
    return Clock::now();
}

}  // namespace tolm::avsync

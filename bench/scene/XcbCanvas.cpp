#include "XcbCanvas.h"

#include "XcbHandles.h"

#include <algorithm>
#include <cstddef>

namespace tolm::scene {

namespace {

// Keeps each request far below the core protocol's size limit.
constexpr std::size_t kRectsPerRequest = 4096;

}  // namespace

XcbCanvas::XcbCanvas(xcb_connection_t* c, xcb_screen_t* screen)
    : c_(c), width_(screen->width_in_pixels), height_(screen->height_in_pixels) {
    window_ = xcb_generate_id(c_);
    const uint32_t values[] = {screen->black_pixel, 1, XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, static_cast<uint16_t>(width_),
                      static_cast<uint16_t>(height_), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    pixmap_ = xcb_generate_id(c_);
    xcb_create_pixmap(c_, screen->root_depth, pixmap_, window_, static_cast<uint16_t>(width_),
                      static_cast<uint16_t>(height_));
    gc_ = xcb_generate_id(c_);
    const uint32_t noExposures = 0;
    xcb_create_gc(c_, gc_, pixmap_, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    xcb_map_window(c_, window_);
    xcb_flush(c_);
}

XcbCanvas::~XcbCanvas() {
    xcb_free_gc(c_, gc_);
    xcb_free_pixmap(c_, pixmap_);
    xcb_destroy_window(c_, window_);
    xcb_flush(c_);
}

bool XcbCanvas::WaitForExposure() {
    for (;;) {
        XcbPtr<xcb_generic_event_t> event(xcb_wait_for_event(c_));
        if (!event) return false;
        if ((event->response_type & 0x7F) == XCB_EXPOSE) return true;
    }
}

void XcbCanvas::Paint(const BoxList& boxes) {
    std::vector<xcb_rectangle_t> run;
    run.reserve(kRectsPerRequest);
    uint32_t colour = 0;
    const auto flush = [&] {
        if (run.empty()) return;
        xcb_change_gc(c_, gc_, XCB_GC_FOREGROUND, &colour);
        xcb_poly_fill_rectangle(c_, pixmap_, gc_, static_cast<uint32_t>(run.size()), run.data());
        run.clear();
    };
    for (const Box& b : boxes) {
        if (b.width <= 0 || b.height <= 0) continue;
        if (b.rgb != colour || run.size() == kRectsPerRequest) {
            flush();
            colour = b.rgb;
        }
        run.push_back(
            {static_cast<int16_t>(std::clamp(b.x, -32768, 32767)), static_cast<int16_t>(std::clamp(b.y, -32768, 32767)),
             static_cast<uint16_t>(std::min(b.width, 65535)), static_cast<uint16_t>(std::min(b.height, 65535))});
    }
    flush();
}

void XcbCanvas::Present() {
    xcb_copy_area(c_, pixmap_, window_, gc_, 0, 0, 0, 0, static_cast<uint16_t>(width_), static_cast<uint16_t>(height_));
    XcbPtr<xcb_get_input_focus_reply_t> reply(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

bool XcbCanvas::TakeExposures() {
    bool exposed = false;
    while (XcbPtr<xcb_generic_event_t> event{xcb_poll_for_event(c_)})
        exposed = exposed || (event->response_type & 0x7F) == XCB_EXPOSE;
    return exposed;
}

}  // namespace tolm::scene

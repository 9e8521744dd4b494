// tolm-scene: a small X client that fills the screen with a known moving scene (colour bars, a grey ramp
// and a square that crosses the screen), so recordings and benchmarks have something real to grab.
// Usage: tolm-scene [--fps N] [--static]
#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

struct ConnectionCloser {
    void operator()(xcb_connection_t* c) const noexcept { xcb_disconnect(c); }
};

class Scene {
public:
    Scene(xcb_connection_t* c, xcb_screen_t* screen) : c_(c), screen_(screen) {
        width_ = screen->width_in_pixels;
        height_ = screen->height_in_pixels;
        window_ = xcb_generate_id(c_);
        const uint32_t values[] = {screen->black_pixel, 1, XCB_EVENT_MASK_EXPOSURE};
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, static_cast<uint16_t>(width_),
                          static_cast<uint16_t>(height_), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        xcb_map_window(c_, window_);
        gc_ = xcb_generate_id(c_);
        xcb_create_gc(c_, gc_, window_, 0, nullptr);
    }

    void Fill(uint32_t rgb, int x, int y, int w, int h) {
        xcb_change_gc(c_, gc_, XCB_GC_FOREGROUND, &rgb);
        const xcb_rectangle_t r{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<uint16_t>(w),
                                static_cast<uint16_t>(h)};
        xcb_poly_fill_rectangle(c_, window_, gc_, 1, &r);
    }

    void DrawBackground() {
        static const uint32_t bars[] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};
        const int barWidth = width_ / 8;
        for (int i = 0; i < 8; ++i) Fill(bars[i], i * barWidth, 0, barWidth, height_ / 2);
        for (int i = 0; i < 64; ++i) {
            const uint32_t v = static_cast<uint32_t>(i * 255 / 63);
            Fill(v << 16 | v << 8 | v, i * width_ / 64, height_ / 2, width_ / 64 + 1, height_ / 4);
        }
        Fill(0x202040, 0, height_ * 3 / 4, width_, height_ - height_ * 3 / 4);
    }

    void DrawFrame(long frame) {
        const int size = height_ / 8;
        const int track = height_ * 3 / 4;
        const int span = width_ - size;
        const int prevX = lastX_;
        lastX_ = static_cast<int>((frame * 8) % (2L * span));
        if (lastX_ > span) lastX_ = 2 * span - lastX_;
        if (prevX >= 0) Fill(0x202040, prevX, track + size / 2, size, size);
        Fill(static_cast<uint32_t>(0xFF8000 ^ (frame & 0xFF)), lastX_, track + size / 2, size, size);
        xcb_flush(c_);
    }

private:
    xcb_connection_t* c_;
    xcb_screen_t* screen_;
    xcb_window_t window_ = 0;
    xcb_gcontext_t gc_ = 0;
    int width_ = 0;
    int height_ = 0;
    int lastX_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
    int fps = 30;
    bool still = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fps") == 0 && i + 1 < argc) {
            fps = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--static") == 0) {
            still = true;
        } else {
            std::fprintf(stderr, "Usage: tolm-scene [--fps N] [--static]\n");
            return 2;
        }
    }
    if (fps < 1) fps = 1;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    std::unique_ptr<xcb_connection_t, ConnectionCloser> c(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(c.get())) {
        std::fprintf(stderr, "tolm-scene: cannot open the X display\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c.get())).data;
    Scene scene(c.get(), screen);
    xcb_flush(c.get());
    // Drawing before the first exposure would be lost.
    for (std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(nullptr, &std::free);;) {
        event.reset(xcb_wait_for_event(c.get()));
        if (!event) {
            std::fprintf(stderr, "tolm-scene: lost the X display\n");
            return 1;
        }
        if ((event->response_type & 0x7F) == XCB_EXPOSE) break;
    }
    scene.DrawBackground();
    scene.DrawFrame(0);
    std::free(xcb_get_input_focus_reply(c.get(), xcb_get_input_focus(c.get()), nullptr));  // drawn when we return
    std::printf("ready\n");
    std::fflush(stdout);

    const auto period = std::chrono::microseconds(1000000 / fps);
    auto next = std::chrono::steady_clock::now();
    for (long frame = 1; !g_stop && !xcb_connection_has_error(c.get()); ++frame) {
        next += period;
        std::this_thread::sleep_until(next);
        bool exposed = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(c.get())) {
            exposed = exposed || (event->response_type & 0x7F) == XCB_EXPOSE;
            std::free(event);
        }
        if (exposed) scene.DrawBackground();
        if (!still) scene.DrawFrame(frame);
    }
    return 0;
}

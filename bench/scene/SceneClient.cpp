// tolm-scene: fills the screen with a moving scene that is the same in every run (colour bars, scrolling
// text-like rows, bouncing blocks and a seven-segment frame counter), so recordings and benchmarks grab
// something demanding and comparable.
// Usage: tolm-scene [--fps N] [--static]
#include "SceneComposer.h"
#include "XcbCanvas.h"
#include "XcbHandles.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tolm::scene;
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
    if (fps > 1000) fps = 1000;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    ConnectionPtr c(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(c.get())) {
        std::fprintf(stderr, "tolm-scene: cannot open the X display\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c.get())).data;
    XcbCanvas canvas(c.get(), screen);
    // Drawing before the first exposure would be lost.
    if (!canvas.WaitForExposure()) {
        std::fprintf(stderr, "tolm-scene: lost the X display\n");
        return 1;
    }
    const SceneComposer composer(canvas.Width(), canvas.Height());
    canvas.Paint(composer.StillPart());
    canvas.Paint(composer.MovingPart(0));
    canvas.Present();
    std::printf("ready\n");
    std::fflush(stdout);

    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::microseconds(1000000 / fps);
    auto next = Clock::now();
    long frame = 0;
    long late = 0;
    while (!g_stop && !xcb_connection_has_error(c.get())) {
        next += period;
        std::this_thread::sleep_until(next);
        const bool exposed = canvas.TakeExposures();
        if (!still) {
            // Frames are never skipped, so every run shows the same sequence; a slow server shows it later.
            canvas.Paint(composer.MovingPart(++frame));
            canvas.Present();
            if (Clock::now() > next + period) ++late;
        } else if (exposed) {
            canvas.Present();
        }
    }
    if (!still) std::fprintf(stderr, "tolm-scene: %ld frames shown, %ld late\n", frame, late);
    return 0;
}

// The grab on its own: MIT-SHM straight into a shared segment (the ceiling: nothing after the server's copy)
// against X11ScreenSource::Grab, which also clips, clears the pad bytes and copies into a Bitmap.
// Both need $DISPLAY with a screen of at least 1920x1080 to measure the intended size.

#include <benchmark/benchmark.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "imaging/Bitmap.h"
#include "platform/x11/ShmSegment.h"
#include "platform/x11/X11ScreenSource.h"
#include "platform/x11/XcbHandles.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// An Xvfb without -noreset resets whenever its last client leaves, here between two benchmarks, and drops
// the connections that arrive meanwhile. One connection held for the whole run keeps it up.
bool KeepDisplayUp() {
    static const tolm::x11::XcbConnection keeper = [] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        tolm::x11::XcbConnection c(xcb_connect(nullptr, nullptr));
        while (xcb_connection_has_error(c.get()) && std::chrono::steady_clock::now() < deadline) {
            c.reset(xcb_connect(nullptr, nullptr));
        }
        return c;
    }();
    return !xcb_connection_has_error(keeper.get());
}

void BM_BareShmGrab(benchmark::State& state) {
    if (!KeepDisplayUp()) {
        state.SkipWithError("cannot open $DISPLAY");
        return;
    }
    int screenNumber = 0;
    const tolm::x11::XcbConnection connection(xcb_connect(nullptr, &screenNumber));
    xcb_connection_t* c = connection.get();
    if (xcb_connection_has_error(c)) {
        state.SkipWithError("cannot open $DISPLAY");
        return;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
    const xcb_screen_t* screen = screens.data;
    const int width = std::min<int>(kWidth, screen->width_in_pixels);
    const int height = std::min<int>(kHeight, screen->height_in_pixels);

    std::string error;
    const tolm::x11::ShmSegment segment =
        tolm::x11::ShmSegment::Create(c, static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, error);
    if (!segment.Valid()) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        const tolm::x11::XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
            c,
            xcb_shm_get_image(c, screen->root, 0, 0, static_cast<std::uint16_t>(width),
                              static_cast<std::uint16_t>(height), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment.Id(), 0),
            nullptr));
        if (!reply) {
            state.SkipWithError("MIT-SHM GetImage failed");
            break;
        }
        benchmark::DoNotOptimize(segment.Data()[0]);
    }
    state.counters["grabs/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(std::to_string(width) + "x" + std::to_string(height));
}

void BM_ScreenSourceGrab(benchmark::State& state) {
    const auto method = static_cast<tolm::X11GrabMethod>(state.range(0));
    if (!KeepDisplayUp()) {
        state.SkipWithError("cannot open $DISPLAY");
        return;
    }
    std::string error;
    const auto source = tolm::CreateX11ScreenSource("", error, method);
    if (!source) {
        state.SkipWithError(error.c_str());
        return;
    }
    tolm::Bitmap dst;
    const tolm::Rect area{0, 0, kWidth, kHeight};
    for (auto _ : state) {
        if (!source->Grab(area, dst)) {
            state.SkipWithError(source->LastError().c_str());
            break;
        }
        benchmark::DoNotOptimize(dst.Bits());
    }
    state.counters["grabs/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(method == tolm::X11GrabMethod::Auto ? "shared memory" : "GetImage");
}

// Real time: the grab mostly waits for the server, which CPU time of this process would not count.
BENCHMARK(BM_BareShmGrab)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScreenSourceGrab)
    ->Arg(static_cast<int>(tolm::X11GrabMethod::Auto))
    ->Arg(static_cast<int>(tolm::X11GrabMethod::GetImage))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

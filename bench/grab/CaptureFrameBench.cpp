// The engine's whole frame grab (screen copy, cursor, packing into a DIB) at 1920x1080, 32 bits, no effects; and
// the same with a quarter turn.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "capture/ScreenCamera.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/Host.h"
#include "platform/ffmpeg/FfmpegVideo.h"
#include "platform/x11/X11ScreenSource.h"

namespace {

class SilentHost final : public tolm::Host {
  public:
    void ShowNotice(const std::string&, const std::string&, tolm::NoticeIcon) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    bool EditSettings(const std::string&, std::vector<tolm::SettingField>&) override { return false; }
    void MinimizeApplication() override {}
    void RestoreApplication() override {}
    void SetBusyCursor(bool) override {}
};

void BM_CaptureFrame(benchmark::State& state, tolm::TPixelFormat colors, bool turned) {
    std::string error;
    std::unique_ptr<tolm::ScreenSource> screen = tolm::CreateX11ScreenSource("", error);
    if (!screen) {
        state.SkipWithError(error.c_str());
        return;
    }
    tolm::SteadyClock clock;
    SilentHost host;
    std::unique_ptr<tolm::CompressorManager> compressors = tolm::CreateFfmpegCompressorManager();
    std::unique_ptr<tolm::AviLibrary> avi = tolm::CreateFfmpegAviLibrary(*compressors);
    tolm::EventLoop loop;
    tolm::TScreenCamera camera({*screen, clock, host, *compressors, *avi, loop});
    camera.SetColors(colors);
    if (turned) camera.SetUseFilters({tolm::TUseFilter::UseRotateImage});
    for (auto _ : state) {
        std::optional<tolm::PackedDib> dib =
            camera.CaptureFrame(tolm::TCaptureMode::cmDib, nullptr, 0, 0, 1920, 1080, false);
        if (!dib) {
            state.SkipWithError("grab failed");
            return;
        }
        benchmark::DoNotOptimize(dib->Data());
    }
    state.counters["grabs/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(BM_CaptureFrame, 32bit, tolm::TPixelFormat::pf32bit, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CaptureFrame, 24bit, tolm::TPixelFormat::pf24bit, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CaptureFrame, 32bit_turned, tolm::TPixelFormat::pf32bit, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

#include <cstdio>
#include <string>
#include <vector>

#include "capture/ScreenCamera.h"
#include "cli/CommandLine.h"
#include "cli/ConsoleHost.h"
#include "imaging/BmpFile.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/ffmpeg/FfmpegVideo.h"
#include "platform/x11/X11ScreenSource.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "tolm-record: %s\n", message.c_str());
    return 1;
}

int Snapshot(const tolm::cli::Options& options) {
    std::string error;
    std::unique_ptr<tolm::ScreenSource> screen = tolm::CreateX11ScreenSource(options.display, error);
    if (!screen) return Fail(error);

    tolm::SteadyClock clock;
    tolm::cli::ConsoleHost host;
    std::unique_ptr<tolm::CompressorManager> compressors = tolm::CreateFfmpegCompressorManager();
    std::unique_ptr<tolm::AviLibrary> avi = tolm::CreateFfmpegAviLibrary(*compressors);
    tolm::EventLoop loop;
    tolm::TScreenCamera camera({*screen, clock, host, *compressors, *avi, loop});
    camera.OnError = [](tolm::TScreenCamera&, const std::string& text) { Fail(text); };
    if (options.monitor > camera.MonitorCount())
        return Fail("There is no monitor " + std::to_string(options.monitor) + "; this display has " +
                    std::to_string(camera.MonitorCount()) + ".");
    tolm::cli::ApplyToCamera(options, camera);

    const tolm::Rect area = camera.ScreenArea().Bounds();
    const bool invert = camera.UseFilters().Contains(tolm::TUseFilter::UseReverseColor);
    std::optional<tolm::PackedDib> dib = camera.CaptureFrame(tolm::TCaptureMode::cmDib, nullptr, area.left, area.top,
                                                             area.width, area.height, invert);
    if (!dib) {
        const std::string detail = camera.LastGrabError();
        return Fail(detail.empty() ? "Error capturing a frame from screen." : "Error capturing a frame from screen. " + detail);
    }
    if (!tolm::WriteBmpFile(options.snapshotFile, *dib, error)) return Fail(error);
    std::printf("Grabbed %dx%d at (%d,%d), %d bits per pixel, into %s\n", area.width, area.height, area.left, area.top,
                camera.BitCount(), options.snapshotFile.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        tolm::cli::Options options;
        std::string error;
        if (!tolm::cli::ParseCommandLine(args, options, error)) {
            std::fprintf(stderr, "tolm-record: %s\n\n%s", error.c_str(), tolm::cli::UsageText());
            return 2;
        }
        if (options.help) {
            std::fputs(tolm::cli::UsageText(), stdout);
            return 0;
        }
        return Snapshot(options);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}

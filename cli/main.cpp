#include <cstdio>
#include <string>
#include <vector>

#include "capture/ProgramNotice.h"
#include "capture/ScreenCamera.h"
#include "cli/AudioCommands.h"
#include "cli/Backends.h"
#include "cli/CommandLine.h"
#include "cli/RecordCommand.h"
#include "cli/RecoverCommand.h"
#include "imaging/BmpFile.h"
#include "platform/Console.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "tolm-record: %s\n", message.c_str());
    return 1;
}

int Snapshot(const tolm::cli::Options& options) {
    std::string error;
    std::unique_ptr<tolm::cli::Session> session = tolm::cli::Session::Open(options, error);
    if (!session) return Fail(error);
    tolm::TScreenCamera& camera = session->Camera();
    camera.OnError = [](tolm::TScreenCamera&, const std::string& text) { Fail(text); };
    const tolm::Rect area = camera.ScreenArea().Bounds();
    const bool invert = camera.UseFilters().Contains(tolm::TUseFilter::UseReverseColor);
    std::optional<tolm::PackedDib> dib =
        camera.CaptureFrame(tolm::TCaptureMode::cmDib, nullptr, area.left, area.top, area.width, area.height, invert);
    if (!dib) {
        const std::string detail = camera.LastGrabError();
        return Fail(detail.empty() ? "Error capturing a frame from screen."
                                   : "Error capturing a frame from screen. " + detail);
    }
    if (!tolm::WriteBmpFile(options.snapshotFile, *dib, error)) return Fail(error);
    std::printf("Grabbed %dx%d at (%d,%d), %d bits per pixel, into %s\n", area.width, area.height, area.left, area.top,
                camera.BitCount(), options.snapshotFile.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args = tolm::ProgramArguments(argc, argv);
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
        if (options.version) {
            std::fputs(tolm::VersionText("tolm-record").c_str(), stdout);
            return 0;
        }
        if (options.listCodecs) return tolm::cli::ListCodecsCommand(options);
        if (options.listMonitors) return tolm::cli::ListMonitorsCommand(options);
        if (options.listAudioFormats) return tolm::cli::ListAudioFormatsCommand(options);
        if (options.listAudioInputs) return tolm::cli::ListAudioInputsCommand(options);
        if (!options.snapshotFile.empty()) return Snapshot(options);
        if (options.recover) return tolm::cli::RecoverCommand(options);
        return tolm::cli::RecordCommand(options);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}

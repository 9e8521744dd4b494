#include "cli/RecoverCommand.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/CaptureGlobals.h"
#include "cli/Backends.h"

namespace tolm::cli {
namespace {

void SayWhatRemains(std::size_t remaining) {
    if (remaining == 0) return;
    std::printf("%zu more interrupted recording%s left; run tolm-record --recover again to save the next newest.\n",
                remaining, remaining == 1 ? " is" : "s are");
}

}  // namespace

int RecoverCommand(const Options& options) {
    std::unique_ptr<Session> session = Session::OpenOrReport(options);
    if (!session) return 1;
    TScreenCamera& camera = session->Camera();
    const std::vector<TScreenCamera::LeftoverRecording> leftovers = camera.LeftoverRecordings();
    if (leftovers.empty()) {
        std::fprintf(stderr, "Nothing to recover.\n");
        return 1;
    }
    const TScreenCamera::LeftoverRecording& newest = leftovers.front();
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(options.outputFile, ec);
    const std::string output = ec ? options.outputFile : absolute.lexically_normal().string();
    std::printf("Recovering %s into %s\n", newest.Description().c_str(), output.c_str());
    std::fflush(stdout);

    bool lineOpen = false;
    camera.OnError = [&](TScreenCamera&, const std::string& text) {
        std::fprintf(stderr, "%stolm-record: %s\n", lineOpen ? "\n" : "", text.c_str());
        lineOpen = false;
    };
    camera.OnSaving = [&](TScreenCamera&, int percent, const std::string& caption, bool&) {
        if (percent % 10 != 0) return;
        std::fprintf(stderr, "\r%-40s", (caption + " " + std::to_string(percent) + "%").c_str());
        std::fflush(stderr);
        lineOpen = true;
    };
    camera.OnDeleting = nullptr;
    const bool saved = camera.RecoverLeftover(newest, output);
    if (lineOpen) std::fputc('\n', stderr);
    if (!saved) {
        std::fprintf(stderr, "tolm-record: nothing was saved.\n");
        SayWhatRemains(leftovers.size() - 1);
        return 1;
    }
    std::printf("Saved %s\n", output.c_str());
    SayWhatRemains(leftovers.size() - 1);
    return 0;
}

}  // namespace tolm::cli

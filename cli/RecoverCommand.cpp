#include "cli/RecoverCommand.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "capture/CaptureGlobals.h"
#include "cli/Backends.h"
#include "platform/Files.h"

namespace tolm::cli {
namespace {

void SayWhatRemains(const std::vector<TScreenCamera::LeftoverRecording>& leftovers, std::size_t saved) {
    const auto remaining = static_cast<std::size_t>(
        std::count_if(leftovers.begin() + static_cast<std::ptrdiff_t>(saved) + 1, leftovers.end(),
                      [](const TScreenCamera::LeftoverRecording& l) { return l.readable; }));
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
    // One that cannot be read would be picked again at every run, and the older ones never.
    std::size_t chosen = 0;
    for (; chosen < leftovers.size() && !leftovers[chosen].readable; ++chosen)
        std::fprintf(stderr, "tolm-record: An interrupted recording (%s) cannot be read; it is kept in %s.\n",
                     leftovers[chosen].Description().c_str(), leftovers[chosen].Where().c_str());
    if (chosen == leftovers.size()) {
        std::fprintf(stderr, "tolm-record: nothing was saved.\n");
        return 1;
    }
    const TScreenCamera::LeftoverRecording& newest = leftovers[chosen];
    const std::string output = AbsolutePath(options.outputFile);
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
        SayWhatRemains(leftovers, chosen);
        return 1;
    }
    std::printf("Saved %s\n", output.c_str());
    SayWhatRemains(leftovers, chosen);
    return 0;
}

}  // namespace tolm::cli

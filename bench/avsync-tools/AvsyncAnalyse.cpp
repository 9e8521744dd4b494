// tolm-avsync-analyse: finds the flashes and the beeps of tolm-avsync-client in a recording and prints how far
// the sound of each pair is from its picture, their spread and the drift per 10 minutes. With the client's log
// it also takes out how late each flash reached the screen after its beep reached the sink.
// Usage: tolm-avsync-analyse FILE.avi [--client-log FILE] [--quiet] [--max-offset MS] [--dropped N]
// With --max-offset it ends with 3 when a pair caught within one frame is further off than MS (after the client's
// lag when its log is given), or when fewer than 5 such pairs were found. --dropped gives the positions the
// recorder dropped: with none, a position without a picture of its own repeats the one before it (the recorder saw
// no change there), so every flash was caught within one frame; otherwise a gap may be a drop.
#include "ClientLog.h"
#include "MediaReader.h"
#include "OnsetFinder.h"
#include "SyncStats.h"

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace tolm::avsync;

void PrintSummary(const char* label, const std::vector<SyncPair>& pairs) {
    if (pairs.empty()) {
        std::printf("%s: no pairs\n", label);
        return;
    }
    const SyncSummary s = Summarise(pairs);
    std::printf(
        "%s, %d pairs: mean %+.1f ms, min %+.1f, max %+.1f, std dev %.1f; drift %+.1f ms per 10 min; "
        "largest step %+.1f ms at %.1f s\n",
        label, s.count, s.mean, s.min, s.max, s.stddev, s.driftPer10Min, s.largestStep, s.largestStepAt);
}

constexpr std::size_t kLeastCheckedPairs = 5;

// The check of --max-offset: 0 when every pair is within `limitMs`, 3 otherwise.
int CheckOffsets(const char* label, const std::vector<SyncPair>& pairs, double limitMs) {
    if (pairs.size() < kLeastCheckedPairs) {
        std::printf("FAIL: only %zu %s, too few to tell\n", pairs.size(), label);
        return 3;
    }
    const SyncPair* worst = &pairs.front();
    for (const SyncPair& p : pairs)
        if (std::abs(p.offsetMs) > std::abs(worst->offsetMs)) worst = &p;
    const bool within = std::abs(worst->offsetMs) <= limitMs;
    std::printf("%s: largest offset of the %zu %s is %+.1f ms at %.1f s (limit %.0f ms)\n", within ? "PASS" : "FAIL",
                pairs.size(), label, worst->offsetMs, worst->picture, limitMs);
    return within ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    std::string clientLog;
    bool quiet = false;
    bool usage = false;
    double maxOffsetMs = -1;
    long dropped = -1;  // unknown
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quiet") == 0) {
            quiet = true;
        } else if (std::strcmp(argv[i], "--client-log") == 0 && i + 1 < argc) {
            clientLog = argv[++i];
        } else if (std::strcmp(argv[i], "--max-offset") == 0 && i + 1 < argc) {
            char* end = nullptr;
            maxOffsetMs = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(maxOffsetMs > 0)) usage = true;
        } else if (std::strcmp(argv[i], "--dropped") == 0 && i + 1 < argc) {
            char* end = nullptr;
            dropped = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || dropped < 0) usage = true;
        } else if (path.empty() && argv[i][0] != '-') {
            path = argv[i];
        } else {
            usage = true;
        }
    }
    if (usage || path.empty()) {
        std::fprintf(stderr,
                     "Usage: tolm-avsync-analyse FILE.avi [--client-log FILE] [--quiet] [--max-offset MS] "
                     "[--dropped N]\n");
        return 2;
    }
    av_log_set_level(AV_LOG_ERROR);  // not a warning for every full-range MJPEG frame
    Media media;
    std::string error;
    if (!ReadMedia(path, media, error)) {
        std::fprintf(stderr, "tolm-avsync-analyse: %s\n", error.c_str());
        return 1;
    }
    std::vector<ClientEvent> events;
    if (!clientLog.empty() && !ReadClientLog(clientLog, events)) {
        std::fprintf(stderr, "tolm-avsync-analyse: cannot read %s\n", clientLog.c_str());
        return 1;
    }
    std::vector<FlashOnset> flashes = FlashOnsets(media.frames);
    if (dropped == 0)
        for (FlashOnset& f : flashes) f.lastDark = std::max(f.lastDark, f.seconds - media.frameSeconds);
    const std::vector<double> beeps = BeepOnsets(media.sound, media.rate);
    // Events are at least 0.9 s apart, so anything nearer than 0.45 s belongs to the same one.
    const std::vector<SyncPair> pairs = PairOnsets(flashes, beeps, 0.45);
    const std::vector<std::optional<double>> lags = MatchClientEvents(pairs, events);

    const double videoSeconds = media.frames.empty() ? 0 : media.frames.back().seconds + media.frameSeconds;
    const double soundSeconds = media.rate > 0 ? static_cast<double>(media.sound.size()) / media.rate : 0;
    std::printf("file: %.3f s of video (%zu frames, %.1f ms each), %.3f s of sound at %d Hz\n", videoSeconds,
                media.frames.size(), 1000 * media.frameSeconds, soundSeconds, media.rate);
    std::printf("found %zu flashes and %zu beeps, %zu pairs\n", flashes.size(), beeps.size(), pairs.size());
    if (pairs.empty()) {
        std::fprintf(stderr, "tolm-avsync-analyse: no flash/beep pairs found\n");
        return 1;
    }
    // A flash caught after a longer gap than one frame (dropped frames) was seen late by up to that gap.
    const double oneFrameMs = 1000 * media.frameSeconds * 1.5;
    std::vector<SyncPair> steady;
    std::vector<SyncPair> corrected;
    std::vector<SyncPair> correctedSteady;
    if (!quiet) std::printf("%10s %10s %14s %14s\n", "picture s", "offset ms", "frame gap ms", "client lag ms");
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const SyncPair& p = pairs[k];
        const bool oneFrame = p.gapMs <= oneFrameMs;
        if (oneFrame) steady.push_back(p);
        if (lags[k]) {
            // The flash showed `lag` after the beep began, so the picture would have been that much earlier.
            const SyncPair c{p.picture, p.offsetMs + *lags[k], p.gapMs};
            corrected.push_back(c);
            if (oneFrame) correctedSteady.push_back(c);
        }
        if (quiet) continue;
        if (lags[k])
            std::printf("%10.3f %+10.1f %14.1f %+14.1f\n", p.picture, p.offsetMs, p.gapMs, *lags[k]);
        else
            std::printf("%10.3f %+10.1f %14.1f %14s\n", p.picture, p.offsetMs, p.gapMs, "-");
    }
    std::printf(
        "offset = sound minus picture; the picture is quantised to frames (a flash is seen up to one frame "
        "gap late)\n");
    PrintSummary("all pairs", pairs);
    PrintSummary("pairs caught within one frame", steady);
    if (!clientLog.empty()) {
        std::printf("client lag matched for %zu of %zu pairs\n", corrected.size(), pairs.size());
        PrintSummary("corrected for client lag, all", corrected);
        PrintSummary("corrected for client lag, within one frame", correctedSteady);
    }
    if (maxOffsetMs < 0) return 0;
    return clientLog.empty()
               ? CheckOffsets("pairs caught within one frame", steady, maxOffsetMs)
               : CheckOffsets("pairs caught within one frame, corrected for client lag", correctedSteady, maxOffsetMs);
}

#include "OnsetFinder.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace tolm::avsync {
namespace {

constexpr double kBrightLevel = 128;
constexpr double kBeepHz = 1000;
constexpr double kWindowSeconds = 0.005;
constexpr double kHopSeconds = 0.0005;
constexpr double kPresentLevel = 0.05;  // 1 kHz amplitude (of full scale) that counts as a beep
constexpr double kMinBeepSeconds = 0.015;
constexpr double kMergeSeconds = 0.1;

// The 1 kHz amplitude of a Hann-weighted window (Goertzel), so the 440 Hz tone of the test server stays out.
double ToneLevel(const float* x, std::size_t n, double coeff, const std::vector<double>& weights, double weightSum) {
    double s1 = 0;
    double s2 = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s0 = x[i] * weights[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2 * std::sqrt(std::max(power, 0.0)) / weightSum;
}

}  // namespace

std::vector<FlashOnset> FlashOnsets(const std::vector<FrameLevel>& frames) {
    std::vector<FlashOnset> onsets;
    bool bright = true;  // a recording that starts in a flash has no onset for it
    double previous = 0;
    for (const FrameLevel& f : frames) {
        const bool now = f.brightness >= kBrightLevel;
        if (now && !bright) onsets.push_back({f.seconds, previous});
        bright = now;
        previous = f.seconds;
    }
    return onsets;
}

std::vector<double> BeepOnsets(const std::vector<float>& sound, int rate) {
    std::vector<double> onsets;
    if (rate <= 0) return onsets;
    const auto n = static_cast<std::size_t>(kWindowSeconds * rate);
    const auto hop = std::max<std::size_t>(1, static_cast<std::size_t>(kHopSeconds * rate));
    if (n < 8 || sound.size() < n) return onsets;
    std::vector<double> weights(n);
    double weightSum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        weights[i] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n - 1));
        weightSum += weights[i];
    }
    const double coeff = 2 * std::cos(2 * std::numbers::pi * kBeepHz / rate);
    std::vector<double> level;
    for (std::size_t start = 0; start + n <= sound.size(); start += hop)
        level.push_back(ToneLevel(sound.data() + start, n, coeff, weights, weightSum));
    const auto centre = [&](std::size_t k) { return (static_cast<double>(k * hop) + n / 2.0) / rate; };

    // Each run of windows over the presence level is one beep; its onset is where it first reaches half its peak.
    double lastEnd = -1;
    std::size_t k = 0;
    while (k < level.size()) {
        if (level[k] < kPresentLevel) {
            ++k;
            continue;
        }
        const std::size_t first = k;
        double peak = 0;
        while (k < level.size() && level[k] >= kPresentLevel) peak = std::max(peak, level[k++]);
        const double begin = centre(first);
        const double end = centre(k - 1);
        const bool merged = lastEnd >= 0 && begin - lastEnd < kMergeSeconds;
        lastEnd = end;
        if (merged || end - begin < kMinBeepSeconds) continue;
        std::size_t onset = first;
        while (level[onset] < peak / 2) ++onset;
        onsets.push_back(centre(onset));
    }
    return onsets;
}

}  // namespace tolm::avsync

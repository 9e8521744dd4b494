#include "SyncStats.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tolm::avsync {

std::vector<SyncPair> PairOnsets(const std::vector<FlashOnset>& flashes, const std::vector<double>& beeps,
                                 double windowSeconds) {
    std::vector<SyncPair> pairs;
    std::vector<bool> used(beeps.size(), false);
    for (const FlashOnset& flash : flashes) {
        const double f = flash.seconds;
        std::size_t best = beeps.size();
        for (std::size_t i = 0; i < beeps.size(); ++i) {
            if (used[i] || std::abs(beeps[i] - f) > windowSeconds) continue;
            if (best == beeps.size() || std::abs(beeps[i] - f) < std::abs(beeps[best] - f)) best = i;
        }
        if (best == beeps.size()) continue;
        used[best] = true;
        pairs.push_back({f, 1000 * (beeps[best] - f), 1000 * (f - flash.lastDark)});
    }
    return pairs;
}

SyncSummary Summarise(const std::vector<SyncPair>& pairs) {
    SyncSummary s;
    s.count = static_cast<int>(pairs.size());
    if (pairs.empty()) return s;
    const double n = static_cast<double>(pairs.size());
    double sumT = 0;
    double sumO = 0;
    s.min = s.max = pairs.front().offsetMs;
    for (const SyncPair& p : pairs) {
        sumT += p.picture;
        sumO += p.offsetMs;
        s.min = std::min(s.min, p.offsetMs);
        s.max = std::max(s.max, p.offsetMs);
    }
    s.mean = sumO / n;
    const double meanT = sumT / n;
    double varO = 0;
    double covTO = 0;
    double varT = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const SyncPair& p = pairs[i];
        varO += (p.offsetMs - s.mean) * (p.offsetMs - s.mean);
        covTO += (p.picture - meanT) * (p.offsetMs - s.mean);
        varT += (p.picture - meanT) * (p.picture - meanT);
        if (i > 0 && std::abs(p.offsetMs - pairs[i - 1].offsetMs) > std::abs(s.largestStep)) {
            s.largestStep = p.offsetMs - pairs[i - 1].offsetMs;
            s.largestStepAt = p.picture;
        }
    }
    s.stddev = std::sqrt(varO / n);
    s.driftPer10Min = varT > 0 ? 600 * covTO / varT : 0;
    return s;
}

}  // namespace tolm::avsync

// Pairs flashes with beeps and sums up how far the sound is from the picture.
#pragma once

#include "OnsetFinder.h"

#include <vector>

namespace tolm::avsync {

struct SyncPair {
    double picture;   // seconds into the file
    double offsetMs;  // sound minus picture
    double gapMs;     // time since the frame before the flash's: how late the picture may have caught it
};

// Each flash with the nearest beep no further than `windowSeconds` away; each beep is used once.
std::vector<SyncPair> PairOnsets(const std::vector<FlashOnset>& flashes, const std::vector<double>& beeps,
                                 double windowSeconds);

struct SyncSummary {
    int count = 0;
    double mean = 0;
    double min = 0;
    double max = 0;
    double stddev = 0;
    double driftPer10Min = 0;  // slope of a least-squares line through offset over time, times 600 s
    double largestStep = 0;    // largest change between neighbouring pairs, signed
    double largestStepAt = 0;  // picture time of the later pair of that step
};

SyncSummary Summarise(const std::vector<SyncPair>& pairs);

}  // namespace tolm::avsync

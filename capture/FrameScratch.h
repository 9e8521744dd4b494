#pragma once

#include "imaging/Bitmap.h"

namespace tolm {

// The working images of one grabbing thread, kept from one frame to the next: reusing them saves two
// full-frame allocations (and their page faults) per frame, three with a quarter turn. One thread uses one at a
// time.
struct FrameScratch {
    Bitmap working;
    Bitmap frame;
    Bitmap turned;  // the picture before a quarter turn
};

}  // namespace tolm

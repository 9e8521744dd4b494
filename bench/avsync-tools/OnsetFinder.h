// Finds where the flashes start in the picture and where the beeps start in the sound.
#pragma once

#include "MediaReader.h"

#include <vector>

namespace tolm::avsync {

struct FlashOnset {
    double seconds;   // the first bright frame
    double lastDark;  // the frame before it: the flash reached the screen after this one was grabbed
};

// Each frame that is bright after one that is dark.
std::vector<FlashOnset> FlashOnsets(const std::vector<FrameLevel>& frames);

// The time of each 1 kHz beep's start: the middle of the first short window whose 1 kHz level reaches half the
// beep's level.
std::vector<double> BeepOnsets(const std::vector<float>& sound, int rate);

}  // namespace tolm::avsync

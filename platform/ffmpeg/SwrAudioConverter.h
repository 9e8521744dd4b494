#pragma once

#include <memory>

#include "platform/AudioConverter.h"

namespace tolm {

// Whole-buffer conversion over libswresample between PCM formats (8-bit unsigned; 16-, 24- and 32-bit
// signed; 32-bit float) of 1 to 8 channels at any rate. Thread-safe: every conversion has its own state.
std::unique_ptr<AudioConverter> CreateSwrAudioConverter();

}  // namespace tolm

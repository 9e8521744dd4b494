#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/WaveTypes.h"

namespace tolm {

// Turns a whole buffer of audio from one wave format into another in one pass.
class AudioConverter {
  public:
    virtual ~AudioConverter() = default;

    // Appends the converted audio to `output` (cleared first). False when either format is not supported or
    // the conversion fails; `output` then holds what was produced.
    virtual bool Convert(const WaveFormatBlock& source, std::span<const std::uint8_t> data,
                         const WaveFormatBlock& target, std::vector<std::uint8_t>& output) = 0;

    // A PCM format with the tag, channel count and rate of `format` and the rest filled in, which Convert
    // accepts as a target; false when there is none.
    virtual bool SuggestPCM(const WAVEFORMATEX& format, WAVEFORMATEX& pcm) = 0;
};

}  // namespace tolm

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/VideoTypes.h"
#include "platform/ffmpeg/AvHandles.h"

namespace tolm::ffmpeg {

// A WAVEFORMATEX (or the 16-byte PCMWAVEFORMAT) as stream parameters.
AviResult AudioParametersFromFormat(const std::uint8_t* format, std::size_t size, AVCodecParameters& par);

// The WAVEFORMATEX of an audio stream a demuxer read.
std::vector<std::uint8_t> AudioFormatFromParameters(const AVCodecParameters& par);

}  // namespace tolm::ffmpeg

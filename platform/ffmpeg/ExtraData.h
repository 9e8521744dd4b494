#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/VideoTypes.h"
#include "platform/ffmpeg/AvHandles.h"

namespace tolm::ffmpeg {

// Our encoders put their set-up (H.264's parameter sets, MPEG-4's headers) in the key frames, which is all an
// AVI needs; MP4 and Matroska want it in the stream's header. Takes it from `frame` into `par` when `par` has
// none and libavcodec knows where it lies in the codec's frames; otherwise leaves `par` as it is.
AviResult ExtraDataFromFrame(AVCodecParameters& par, const std::uint8_t* frame, std::size_t size);

}  // namespace tolm::ffmpeg

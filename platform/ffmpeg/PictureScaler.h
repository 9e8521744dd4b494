#pragma once

#include <cstdint>

#include "platform/ffmpeg/AvHandles.h"

namespace tolm::ffmpeg {

// A converter of whole pictures from one size and pixel format to another that shares the rows among the
// machine's cores: at full HD the conversion to an encoder's YUV takes about as long as the encoding.
// Null when libswscale cannot convert between the two.
SwsContextPtr OpenScaler(int srcWidth, int srcHeight, AVPixelFormat srcFormat, int dstWidth, int dstHeight,
                         AVPixelFormat dstFormat);

// Converts the picture at `src` (borrowed, not copied; rows may run bottom-up with a negative line size)
// into `dst`, a writable frame of the scaler's output. An FFmpeg error code (< 0) on failure.
int ScalePicture(SwsContext& scaler, const std::uint8_t* const src[4], const int srcLines[4], int srcWidth,
                 int srcHeight, AVPixelFormat srcFormat, AVFrame& dst);

}  // namespace tolm::ffmpeg

// Owning handles for the FFmpeg objects of the sync analyser: the FFmpeg backend's own.
#pragma once

#include "../../platform/ffmpeg/AvHandles.h"

namespace tolm::avsync {

using CodecContextPtr = ffmpeg::AvCodecContextPtr;
using InputContextPtr = ffmpeg::AvInputContextPtr;
using FramePtr = ffmpeg::AvFramePtr;
using PacketPtr = ffmpeg::AvPacketPtr;
using SwsPtr = ffmpeg::SwsContextPtr;

}  // namespace tolm::avsync

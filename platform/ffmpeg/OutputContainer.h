#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace tolm::ffmpeg {

// The kind of file a save writes, by the name's ending: AVI unless it ends in .mp4 or .mkv.
enum class OutputContainer { avi, mp4, matroska };

OutputContainer ContainerOf(const std::string& path);
// libavformat's name of the container's muxer.
const char* MuxerName(OutputContainer container);

// Whether the container stores video of `codec` in frames of `bitCount` bits as it is (raw frames:
// AV_CODEC_ID_RAWVIDEO). An AVI takes every codec.
bool ContainerTakes(OutputContainer container, AVCodecID codec, int bitCount);
// The same for a compressor's four-character code; 0 stands for uncompressed frames.
bool ContainerTakesHandler(OutputContainer container, std::uint32_t fccHandler, int bitCount);

}  // namespace tolm::ffmpeg

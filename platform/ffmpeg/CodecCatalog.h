#pragma once

#include <cstdint>
#include <vector>

#include "platform/VideoTypes.h"
#include "platform/ffmpeg/AvHandles.h"

namespace tolm::screencodecs {
struct ScreenCodec;
}

namespace tolm::ffmpeg {

// What an encoder calls quality.
enum class QualityControl { none, qscale, crf, lambda, compressionLevel };

// How an encoder is told the distance between key frames.
enum class KeyFrameControl {
    intraOnly,        // every frame is a key frame
    gopSize,          // gop_size frames from one key frame to the next
    keyintMinPeriod,  // keyint_min frames from one key frame to the next
    keyintMinGap,     // keyint_min delta frames between two key frames
};

// One installable compressor: its codes and names, and how its encoder is driven.
struct CatalogEntry {
    std::uint32_t handler = 0;
    const char* encoder = "";               // libavcodec encoder name
    const char* shortName = "";             // at most 16 characters
    const char* description = "";           // at most 128 characters
    AVPixelFormat input = AV_PIX_FMT_NONE;  // the encoder's input format; none: the frames' own if it takes them
    QualityControl quality = QualityControl::none;
    KeyFrameControl keyFrames = KeyFrameControl::intraOnly;
    bool temporal = false;  // frames refer to earlier ones
};

// The compressors we have an encoder for (ours or this libavcodec's), in the order they are offered; the
// first is the default compressor.
const std::vector<CatalogEntry>& AvailableCompressors();
const CatalogEntry* FindCompressor(std::uint32_t handler);
const AVCodec* EncoderOf(const CatalogEntry& entry);
// Our own encoder of the entry's format, which then replaces libavcodec's; null when there is none.
const screencodecs::ScreenCodec* OwnEncoderOf(const CatalogEntry& entry);

CompressorInfo DescribeCompressor(const CatalogEntry& entry);

// The pixel format the encoder is fed for frames of `source` format; AV_PIX_FMT_NONE when there is none
// it takes that the scaler can produce from `source`.
AVPixelFormat EncoderInputFormat(const CatalogEntry& entry, AVPixelFormat source);

}  // namespace tolm::ffmpeg

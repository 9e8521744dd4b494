#pragma once

#include <cstdint>

#include "platform/ffmpeg/AvHandles.h"
#include "platform/ffmpeg/CodecCatalog.h"
#include "platform/ffmpeg/EncoderOptions.h"

namespace tolm::ffmpeg {

struct EncoderParams {
    int width = 0;
    int height = 0;
    AVPixelFormat source = AV_PIX_FMT_NONE;  // the frames' format; the encoder's input is chosen from it
    AVRational timeBase{1, 25};
    std::uint32_t quality = 0;        // 1..10000; anything else leaves the encoder's own
    std::uint32_t keyFrameEvery = 0;  // 0 leaves the encoder's own
    bool probe = false;               // only to learn whether it opens: one thread, no log
};

struct OpenedEncoder {
    AvCodecContextPtr context;
    int frameQuality = 0;  // what each frame's quality field must carry (0: nothing)
};

// Opens the entry's encoder for `params` with `options`; an FFmpeg error code (< 0) when it refuses.
int OpenEncoder(const CatalogEntry& entry, const EncoderParams& params, const OptionValues& options,
                OpenedEncoder& out);

}  // namespace tolm::ffmpeg

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/VideoTypes.h"
#include "platform/ffmpeg/AvHandles.h"
#include "platform/ffmpeg/VideoFormat.h"

namespace tolm::ffmpeg {

// Decodes the frames of a compressed video stream back to 32-bit DIB pixels, so they can be compressed
// again with another compressor.
class FrameDecoder {
  public:
    FrameDecoder() = default;  // use Open

    // `format` is the stream's format block (BITMAPINFOHEADER and the codec's extra data).
    static AviResult Open(const std::vector<std::uint8_t>& format, std::unique_ptr<FrameDecoder>& out);

    // The format block of the decoded frames: 32 bits, bottom-up, the stream's size.
    std::vector<std::uint8_t> OutputFormat() const;

    using FrameSink = std::function<AviResult(std::int64_t position, const std::uint8_t* bits, std::size_t size)>;

    // Decodes the packet of `position`; each picture that comes out goes to `sink` with its position.
    AviResult Decode(const std::uint8_t* data, std::size_t size, std::int64_t position, const FrameSink& sink);
    // Hands over the pictures the decoder still holds.
    AviResult Flush(const FrameSink& sink);

  private:
    AviResult Drain(const FrameSink& sink);

    AvCodecContextPtr decoder_;
    AvFramePtr frame_;
    AvPacketPtr packet_;
    SwsContextPtr scaler_;
    DibLayout output_;
    std::vector<std::uint8_t> bits_;
};

}  // namespace tolm::ffmpeg

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/VideoTypes.h"
#include "platform/ffmpeg/CompressorRegistry.h"
#include "platform/ffmpeg/VideoFormat.h"
#include "platform/screencodecs/ScreenCodecs.h"

namespace tolm::ffmpeg {

// Compresses DIB frames of one format with one compressor, with libavcodec's encoder or our own one for
// the format: each frame is converted to the encoder's input format and its packet handed on with the
// same position.
class FrameEncoder {
  public:
    struct Settings {
        AVRational timeBase{1, 25};
        std::uint32_t quality = 0;
        std::uint32_t keyFrameEvery = 0;
    };

    FrameEncoder() = default;  // use Open

    static AviResult Open(const CompressorRegistry& registry, const CatalogEntry& entry, const DibLayout& layout,
                          const Settings& settings, std::unique_ptr<FrameEncoder>& out);

    // The format block of the compressed stream (header with the compressor's code, extra data).
    std::vector<std::uint8_t> OutputFormat() const;

    // Bytes of one input frame.
    std::size_t FrameSize() const { return layout_.imageSize; }

    // Packets come out with pts = their position and the encoder's key-frame flag.
    using PacketSink = std::function<AviResult(const AVPacket& packet)>;

    // Encodes one frame (the DIB's pixel bytes) at `position`.
    AviResult Encode(const std::uint8_t* bits, std::size_t size, std::int64_t position, const PacketSink& sink);

  private:
    AviResult Prepare(AVPixelFormat input, int width, int height, AVColorRange range);
    AviResult OpenOwn(const screencodecs::ScreenCodec& codec, const Settings& settings);
    AviResult Drain(const PacketSink& sink, int& packets);
    AviResult EncodeOwn(const std::uint8_t* const src[4], const int srcLines[4], std::int64_t position,
                        const PacketSink& sink);

    std::uint32_t handler_ = 0;
    DibLayout layout_;
    OpenedEncoder encoder_;                             // libavcodec's, or else
    std::unique_ptr<screencodecs::ScreenEncoder> own_;  // ours
    std::uint16_t ownBitCount_ = 0;
    std::vector<std::uint8_t> ownBytes_;  // our encoder's last packet
    SwsContextPtr scaler_;                // null when the encoder takes the frames' own format
    AvFramePtr frame_;
    AvPacketPtr packet_;
};

}  // namespace tolm::ffmpeg

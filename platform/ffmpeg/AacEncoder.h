#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/VideoTypes.h"
#include "platform/ffmpeg/AvHandles.h"

namespace tolm::ffmpeg {

// Encodes interleaved PCM to AAC with libavcodec's own encoder, for files (MP4) that do not take PCM. Packets
// carry their time in samples of the input rate, counted from the first sample given, so the sound stays
// where the PCM was on the timeline.
class AacEncoder {
  public:
    using PacketSink = std::function<AviResult(AVPacket& packet)>;

    // For PCM described by `pcm` (codec, rate, channels).
    static AviResult Open(const AVCodecParameters& pcm, std::unique_ptr<AacEncoder>& out);

    AviResult CopyParameters(AVCodecParameters& par) const;
    AVRational TimeBase() const { return AVRational{1, context_->sample_rate}; }

    // `blocks` sample frames of interleaved PCM starting at sample `start`; a gap since the last ones is
    // silence. Whole packets go to `sink` as they come out.
    AviResult Encode(std::int64_t start, const std::uint8_t* pcm, std::int64_t blocks, const PacketSink& sink);
    // Encodes what is still held and drains the encoder.
    AviResult Flush(const PacketSink& sink);

  private:
    // One sample frame; null: silence.
    AviResult Put(const std::uint8_t* block, const PacketSink& sink);
    AviResult Send(AVFrame* frame, const PacketSink& sink);

    AvCodecContextPtr context_;
    AvFramePtr frame_;
    AvPacketPtr packet_;
    AVCodecID pcm_ = AV_CODEC_ID_NONE;
    int channels_ = 0;
    int bytesPerSample_ = 0;
    int filled_ = 0;            // samples in frame_ so far
    std::int64_t nextPts_ = 0;  // of the frame being filled
};

}  // namespace tolm::ffmpeg

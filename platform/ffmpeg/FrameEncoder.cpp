#include "platform/ffmpeg/FrameEncoder.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include "platform/ffmpeg/FfmpegErrors.h"
#include "platform/ffmpeg/PictureScaler.h"

namespace tolm::ffmpeg {

AviResult FrameEncoder::Open(const CompressorRegistry& registry, const CatalogEntry& entry, const DibLayout& layout,
                             const Settings& settings, std::unique_ptr<FrameEncoder>& out) {
    auto encoder = std::make_unique<FrameEncoder>();
    encoder->handler_ = entry.handler;
    encoder->layout_ = layout;

    EncoderParams params;
    params.width = layout.width;
    params.height = layout.height;
    params.source = layout.pixelFormat;
    params.timeBase = settings.timeBase;
    params.quality = settings.quality;
    params.keyFrameEvery = settings.keyFrameEvery;
    const int rc = registry.Open(entry, params, encoder->encoder_);
    if (rc < 0) return rc == AVERROR(ENOMEM) ? AVIERR_MEMORY : AVIERR_CANTCOMPRESS;
    const AVCodecContext& ctx = *encoder->encoder_.context;

    encoder->frame_.reset(av_frame_alloc());
    encoder->packet_.reset(av_packet_alloc());
    if (!encoder->frame_ || !encoder->packet_) return AVIERR_MEMORY;
    encoder->frame_->format = ctx.pix_fmt;
    encoder->frame_->width = ctx.width;
    encoder->frame_->height = ctx.height;
    encoder->frame_->color_range = ctx.color_range;
    if (av_frame_get_buffer(encoder->frame_.get(), 0) < 0) return AVIERR_MEMORY;

    if (ctx.pix_fmt != layout.pixelFormat) {
        encoder->scaler_ =
            OpenScaler(layout.width, layout.height, layout.pixelFormat, ctx.width, ctx.height, ctx.pix_fmt);
        if (!encoder->scaler_) return AVIERR_CANTCOMPRESS;
    }
    out = std::move(encoder);
    return AVIERR_OK;
}

std::vector<std::uint8_t> FrameEncoder::OutputFormat() const {
    return CompressedVideoFormat(*encoder_.context, handler_);
}

AviResult FrameEncoder::Encode(const std::uint8_t* bits, std::size_t size, std::int64_t position,
                               const PacketSink& sink) {
    if (!bits || size < layout_.imageSize) return AVIERR_BADSIZE;
    // The encoder may still hold the last picture; then it gets a fresh buffer.
    if (av_frame_make_writable(frame_.get()) < 0) return AVIERR_MEMORY;

    const std::uint8_t* src[4];
    int srcLines[4];
    WrapDibPixels(layout_, bits, src, srcLines);
    if (scaler_) {
        if (ScalePicture(*scaler_, src, srcLines, layout_.width, layout_.height, layout_.pixelFormat, *frame_) < 0)
            return AVIERR_COMPRESSOR;
    } else {
        av_image_copy(frame_->data, frame_->linesize, src, srcLines, layout_.pixelFormat, layout_.width,
                      layout_.height);
    }
    frame_->pts = position;
    frame_->quality = encoder_.frameQuality;
    frame_->pict_type = AV_PICTURE_TYPE_NONE;

    if (avcodec_send_frame(encoder_.context.get(), frame_.get()) < 0) return AVIERR_COMPRESSOR;
    int packets = 0;
    const AviResult rc = Drain(sink, packets);
    if (rc != AVIERR_OK) return rc;
    // Encoders are set up without delay; one that held the frame back would lose it at the end.
    return packets > 0 ? AVIERR_OK : AVIERR_COMPRESSOR;
}

AviResult FrameEncoder::Drain(const PacketSink& sink, int& packets) {
    for (;;) {
        const int rc = avcodec_receive_packet(encoder_.context.get(), packet_.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return AVIERR_OK;
        if (rc < 0) return AVIERR_COMPRESSOR;
        ++packets;
        const AviResult written = sink(*packet_);
        av_packet_unref(packet_.get());
        if (written != AVIERR_OK) return written;
    }
}

}  // namespace tolm::ffmpeg

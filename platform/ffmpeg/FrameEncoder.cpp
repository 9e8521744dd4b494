#include "platform/ffmpeg/FrameEncoder.h"

#include <new>

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
    if (const screencodecs::ScreenCodec* own = OwnEncoderOf(entry)) {
        const AVPixelFormat input = EncoderInputFormat(entry, layout.pixelFormat);
        if (input == AV_PIX_FMT_NONE || layout.width % own->sizeMultiple || layout.height % own->sizeMultiple)
            return AVIERR_CANTCOMPRESS;
        AviResult rc = encoder->OpenOwn(*own, settings);
        if (rc == AVIERR_OK) rc = encoder->Prepare(input, layout.width, layout.height, AVCOL_RANGE_UNSPECIFIED);
        if (rc != AVIERR_OK) return rc;
        out = std::move(encoder);
        return AVIERR_OK;
    }

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
    const AviResult prepared = encoder->Prepare(ctx.pix_fmt, ctx.width, ctx.height, ctx.color_range);
    if (prepared != AVIERR_OK) return prepared;
    out = std::move(encoder);
    return AVIERR_OK;
}

AviResult FrameEncoder::OpenOwn(const screencodecs::ScreenCodec& codec, const Settings& settings) {
    screencodecs::EncoderSettings own;
    own.width = layout_.width;
    own.height = layout_.height;
    own.quality = settings.quality;
    own.keyFrameEvery = settings.keyFrameEvery;
    try {
        own_ = codec.make(own);
    } catch (const std::bad_alloc&) {
        return AVIERR_MEMORY;
    } catch (...) {
        return AVIERR_CANTCOMPRESS;
    }
    if (!own_) return AVIERR_CANTCOMPRESS;
    ownBitCount_ = codec.bitCount;
    return AVIERR_OK;
}

// The picture the encoder is fed, and the scaler that converts the frames to it when their format differs.
AviResult FrameEncoder::Prepare(AVPixelFormat input, int width, int height, AVColorRange range) {
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!frame_ || !packet_) return AVIERR_MEMORY;
    frame_->format = input;
    frame_->width = width;
    frame_->height = height;
    frame_->color_range = range;
    if (input == layout_.pixelFormat) {
        // Ours reads the frames where they are; libavcodec's encoders get a copy they may keep.
        if (own_) return AVIERR_OK;
    } else {
        scaler_ = OpenScaler(layout_.width, layout_.height, layout_.pixelFormat, width, height, input);
        if (!scaler_) return AVIERR_CANTCOMPRESS;
    }
    return av_frame_get_buffer(frame_.get(), 0) < 0 ? AVIERR_MEMORY : AVIERR_OK;
}

std::vector<std::uint8_t> FrameEncoder::OutputFormat() const {
    if (own_) return CompressedVideoFormat(layout_.width, layout_.height, ownBitCount_, handler_, own_->ExtraData());
    return CompressedVideoFormat(*encoder_.context, handler_);
}

AviResult FrameEncoder::Encode(const std::uint8_t* bits, std::size_t size, std::int64_t position,
                               const PacketSink& sink) {
    if (!bits || size < layout_.imageSize) return AVIERR_BADSIZE;
    const std::uint8_t* src[4];
    int srcLines[4];
    WrapDibPixels(layout_, bits, src, srcLines);
    if (own_) return EncodeOwn(src, srcLines, position, sink);

    // The encoder may still hold the last picture; then it gets a fresh buffer.
    if (av_frame_make_writable(frame_.get()) < 0) return AVIERR_MEMORY;
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

AviResult FrameEncoder::EncodeOwn(const std::uint8_t* const src[4], const int srcLines[4], std::int64_t position,
                                  const PacketSink& sink) {
    screencodecs::Picture picture{src[0], srcLines[0], layout_.width, layout_.height};
    if (scaler_) {
        if (ScalePicture(*scaler_, src, srcLines, layout_.width, layout_.height, layout_.pixelFormat, *frame_) < 0)
            return AVIERR_COMPRESSOR;
        picture.data = frame_->data[0];
        picture.stride = frame_->linesize[0];
    }
    bool key = false;
    try {
        own_->Encode(picture, key, ownBytes_);
    } catch (const std::bad_alloc&) {
        return AVIERR_MEMORY;
    } catch (...) {
        return AVIERR_COMPRESSOR;
    }
    if (ownBytes_.empty() || ownBytes_.size() > INT32_MAX) return AVIERR_COMPRESSOR;
    // The packet only lends our bytes to the sink; it owns nothing.
    packet_->data = ownBytes_.data();
    packet_->size = static_cast<int>(ownBytes_.size());
    packet_->pts = position;
    packet_->dts = position;
    packet_->flags = key ? AV_PKT_FLAG_KEY : 0;
    const AviResult rc = sink(*packet_);
    packet_->data = nullptr;
    packet_->size = 0;
    return rc;
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

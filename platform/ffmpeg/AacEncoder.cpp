#include "platform/ffmpeg/AacEncoder.h"

#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "platform/ffmpeg/FfmpegErrors.h"

namespace tolm::ffmpeg {
namespace {

constexpr std::int64_t kBitsPerSecondPerChannel = 96000;

float SampleToFloat(const std::uint8_t* p, AVCodecID codec) {
    switch (codec) {
        case AV_CODEC_ID_PCM_U8:
            return (static_cast<int>(p[0]) - 128) / 128.0f;
        case AV_CODEC_ID_PCM_S16LE:
            return static_cast<std::int16_t>(p[0] | p[1] << 8) / 32768.0f;
        case AV_CODEC_ID_PCM_S24LE:
            // Shifted into the top of 32 bits, so the sign comes along.
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 |
                                             static_cast<std::uint32_t>(p[1]) << 16 |
                                             static_cast<std::uint32_t>(p[2]) << 24) /
                   2147483648.0f;
        case AV_CODEC_ID_PCM_S32LE: {
            std::int32_t v;
            std::memcpy(&v, p, 4);
            return static_cast<float>(v / 2147483648.0);
        }
        case AV_CODEC_ID_PCM_F32LE: {
            float v;
            std::memcpy(&v, p, 4);
            return v;
        }
        case AV_CODEC_ID_PCM_F64LE: {
            double v;
            std::memcpy(&v, p, 8);
            return static_cast<float>(v);
        }
        default:
            return 0;
    }
}

}  // namespace

AviResult AacEncoder::Open(const AVCodecParameters& pcm, std::unique_ptr<AacEncoder>& out) {
    const int bits = av_get_bits_per_sample(pcm.codec_id);
    const int channels = pcm.ch_layout.nb_channels;
    if (bits <= 0 || channels <= 0 || pcm.sample_rate <= 0) return AVIERR_BADFORMAT;
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (!codec) return AVIERR_NOCOMPRESSOR;
    auto encoder = std::make_unique<AacEncoder>();
    encoder->context_.reset(avcodec_alloc_context3(codec));
    encoder->frame_.reset(av_frame_alloc());
    encoder->packet_.reset(av_packet_alloc());
    if (!encoder->context_ || !encoder->frame_ || !encoder->packet_) return AVIERR_MEMORY;
    AVCodecContext& c = *encoder->context_;
    c.sample_fmt = AV_SAMPLE_FMT_FLTP;
    c.sample_rate = pcm.sample_rate;
    av_channel_layout_default(&c.ch_layout, channels);
    c.bit_rate = kBitsPerSecondPerChannel * channels;
    c.time_base = AVRational{1, pcm.sample_rate};
    // MP4 keeps the decoder's set-up once in its header rather than in every packet.
    c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int rc = avcodec_open2(&c, codec, nullptr);
    if (rc < 0) return ToAviResult(rc, AVIERR_BADFORMAT);
    AVFrame& f = *encoder->frame_;
    f.format = c.sample_fmt;
    f.sample_rate = c.sample_rate;
    f.nb_samples = c.frame_size;
    if (av_channel_layout_copy(&f.ch_layout, &c.ch_layout) < 0) return AVIERR_MEMORY;
    rc = av_frame_get_buffer(&f, 0);
    if (rc < 0) return ToAviResult(rc, AVIERR_MEMORY);
    encoder->pcm_ = pcm.codec_id;
    encoder->channels_ = channels;
    encoder->bytesPerSample_ = bits / 8;
    out = std::move(encoder);
    return AVIERR_OK;
}

AviResult AacEncoder::CopyParameters(AVCodecParameters& par) const {
    return avcodec_parameters_from_context(&par, context_.get()) < 0 ? AVIERR_MEMORY : AVIERR_OK;
}

AviResult AacEncoder::Encode(std::int64_t start, const std::uint8_t* pcm, std::int64_t blocks, const PacketSink& sink) {
    for (std::int64_t at = nextPts_ + filled_; at < start; ++at) {
        const AviResult rc = Put(nullptr, sink);
        if (rc != AVIERR_OK) return rc;
    }
    const std::size_t blockSize = static_cast<std::size_t>(channels_) * static_cast<std::size_t>(bytesPerSample_);
    for (std::int64_t b = 0; b < blocks; ++b) {
        const AviResult rc = Put(pcm + static_cast<std::size_t>(b) * blockSize, sink);
        if (rc != AVIERR_OK) return rc;
    }
    return AVIERR_OK;
}

AviResult AacEncoder::Put(const std::uint8_t* block, const PacketSink& sink) {
    // The encoder may still hold the last frame's buffer.
    if (filled_ == 0 && av_frame_make_writable(frame_.get()) < 0) return AVIERR_MEMORY;
    for (int ch = 0; ch < channels_; ++ch)
        reinterpret_cast<float*>(frame_->data[ch])[filled_] =
            block ? SampleToFloat(block + static_cast<std::size_t>(ch) * bytesPerSample_, pcm_) : 0.0f;
    if (++filled_ < context_->frame_size) return AVIERR_OK;
    return Send(frame_.get(), sink);
}

AviResult AacEncoder::Flush(const PacketSink& sink) {
    if (filled_ > 0) {
        // The last frame may be short.
        frame_->nb_samples = filled_;
        const AviResult rc = Send(frame_.get(), sink);
        if (rc != AVIERR_OK) return rc;
    }
    return Send(nullptr, sink);
}

AviResult AacEncoder::Send(AVFrame* frame, const PacketSink& sink) {
    if (frame) {
        frame->pts = nextPts_;
        nextPts_ += frame->nb_samples;
        filled_ = 0;
    }
    int rc = avcodec_send_frame(context_.get(), frame);
    if (rc < 0) return ToAviResult(rc, AVIERR_INTERNAL);
    for (;;) {
        rc = avcodec_receive_packet(context_.get(), packet_.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return AVIERR_OK;
        if (rc < 0) return ToAviResult(rc, AVIERR_INTERNAL);
        const AviResult written = sink(*packet_);
        av_packet_unref(packet_.get());
        if (written != AVIERR_OK) return written;
    }
}

}  // namespace tolm::ffmpeg

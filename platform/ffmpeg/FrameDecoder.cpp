#include "platform/ffmpeg/FrameDecoder.h"

#include <cstring>

namespace tolm::ffmpeg {

AviResult FrameDecoder::Open(const std::vector<std::uint8_t>& format, std::unique_ptr<FrameDecoder>& out) {
    AvCodecParametersPtr par(avcodec_parameters_alloc());
    if (!par) return AVIERR_MEMORY;
    const AviResult parsed = VideoParametersFromFormat(format.data(), format.size(), *par);
    if (parsed != AVIERR_OK) return parsed;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) return AVIERR_NOCOMPRESSOR;

    auto decoder = std::make_unique<FrameDecoder>();
    decoder->decoder_.reset(avcodec_alloc_context3(codec));
    decoder->frame_.reset(av_frame_alloc());
    decoder->packet_.reset(av_packet_alloc());
    if (!decoder->decoder_ || !decoder->frame_ || !decoder->packet_) return AVIERR_MEMORY;
    if (avcodec_parameters_to_context(decoder->decoder_.get(), par.get()) < 0) return AVIERR_MEMORY;
    decoder->decoder_->thread_type = FF_THREAD_SLICE;
    decoder->decoder_->thread_count = 0;
    if (avcodec_open2(decoder->decoder_.get(), codec, nullptr) < 0) return AVIERR_COMPRESSOR;

    BitmapInfoHeader header;
    header.biWidth = par->width;
    header.biHeight = par->height;
    header.biBitCount = 32;
    const std::optional<DibLayout> layout = DescribeDib(header);
    if (!layout) return AVIERR_BADFORMAT;
    decoder->output_ = *layout;
    decoder->bits_.assign(layout->imageSize, 0);
    out = std::move(decoder);
    return AVIERR_OK;
}

std::vector<std::uint8_t> FrameDecoder::OutputFormat() const {
    BitmapInfoHeader header;
    header.biWidth = output_.width;
    header.biHeight = output_.height;
    header.biBitCount = 32;
    header.biSizeImage = static_cast<std::uint32_t>(output_.imageSize);
    std::vector<std::uint8_t> bytes(BitmapInfoHeader::kSize);
    header.WriteTo(bytes.data());
    return bytes;
}

AviResult FrameDecoder::Decode(const std::uint8_t* data, std::size_t size, std::int64_t position,
                               const FrameSink& sink) {
    if (size == 0) return AVIERR_OK;  // a skipped position carries no picture
    if (!data || size > static_cast<std::size_t>(INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE)) return AVIERR_BADPARAM;
    av_packet_unref(packet_.get());
    // Decoders read past the end of a packet; av_new_packet gives the padding they need.
    if (av_new_packet(packet_.get(), static_cast<int>(size)) < 0) return AVIERR_MEMORY;
    std::memcpy(packet_->data, data, size);
    packet_->pts = position;
    packet_->dts = position;
    const int rc = avcodec_send_packet(decoder_.get(), packet_.get());
    av_packet_unref(packet_.get());
    if (rc < 0 && rc != AVERROR(EAGAIN)) return AVIERR_BADFORMAT;
    return Drain(sink);
}

AviResult FrameDecoder::Flush(const FrameSink& sink) {
    if (avcodec_send_packet(decoder_.get(), nullptr) < 0) return AVIERR_OK;
    return Drain(sink);
}

AviResult FrameDecoder::Drain(const FrameSink& sink) {
    for (;;) {
        const int rc = avcodec_receive_frame(decoder_.get(), frame_.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return AVIERR_OK;
        if (rc < 0) return AVIERR_BADFORMAT;
        const std::int64_t position =
            frame_->best_effort_timestamp != AV_NOPTS_VALUE ? frame_->best_effort_timestamp : frame_->pts;
        scaler_.reset(sws_getCachedContext(scaler_.release(), frame_->width, frame_->height,
                                           static_cast<AVPixelFormat>(frame_->format), output_.width, output_.height,
                                           AV_PIX_FMT_BGR0, SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!scaler_) {
            av_frame_unref(frame_.get());
            return AVIERR_UNSUPPORTED;
        }
        std::uint8_t* dst[4] = {bits_.data() + output_.stride * static_cast<std::size_t>(output_.height - 1), nullptr,
                                nullptr, nullptr};
        const int dstLines[4] = {-static_cast<int>(output_.stride), 0, 0, 0};
        sws_scale(scaler_.get(), frame_->data, frame_->linesize, 0, frame_->height, dst, dstLines);
        av_frame_unref(frame_.get());
        const AviResult written = sink(position, bits_.data(), bits_.size());
        if (written != AVIERR_OK) return written;
    }
}

}  // namespace tolm::ffmpeg

#include "platform/ffmpeg/CompressedStream.h"

#include <cstring>
#include <utility>

extern "C" {
#include <libavutil/rational.h>
}

namespace tolm::ffmpeg {

CompressedStream::CompressedStream(std::shared_ptr<AviStream> target, const AviCompressOptions& options,
                                   const CatalogEntry& entry, std::shared_ptr<const CompressorRegistry> registry)
    : target_(std::move(target)), options_(options), entry_(entry), registry_(std::move(registry)) {}

AviStreamInfo CompressedStream::Info() const {
    AviStreamInfo info = target_->Info();
    info.fccHandler = entry_.handler;
    return info;
}

AviResult CompressedStream::SetFormat(std::int32_t position, const void* format, std::size_t size) {
    std::lock_guard lock(mutex_);
    const auto* bytes = static_cast<const std::uint8_t*>(format);
    if (!bytes || size == 0) return AVIERR_BADPARAM;
    if (encoder_ && format_.size() == size && std::memcmp(format_.data(), bytes, size) == 0) return AVIERR_OK;
    if (written_) return AVIERR_UNSUPPORTED;  // frames of the old format are in the file
    const std::optional<DibLayout> layout = DescribeDibFormat(bytes, size);
    if (!layout) return AVIERR_BADFORMAT;

    const AviStreamInfo info = target_->Info();
    if (info.dwRate == 0 || info.dwScale == 0) return AVIERR_BADPARAM;
    FrameEncoder::Settings settings;
    av_reduce(&settings.timeBase.num, &settings.timeBase.den, info.dwScale, info.dwRate, INT32_MAX);
    settings.quality = options_.dwQuality;
    settings.keyFrameEvery = options_.dwKeyFrameEvery;
    std::unique_ptr<FrameEncoder> encoder;
    const AviResult opened = FrameEncoder::Open(*registry_, entry_, *layout, settings, encoder);
    if (opened != AVIERR_OK) return opened;
    const std::vector<std::uint8_t> compressed = encoder->OutputFormat();
    const AviResult rc = target_->SetFormat(position, compressed.data(), compressed.size());
    if (rc != AVIERR_OK) return rc;
    encoder_ = std::move(encoder);
    format_.assign(bytes, bytes + size);
    return AVIERR_OK;
}

std::vector<std::uint8_t> CompressedStream::Format() const {
    std::lock_guard lock(mutex_);
    return format_;
}

AviResult CompressedStream::Write(std::int32_t start, std::int32_t samples, const void* data, std::size_t size,
                                  std::uint32_t) {
    std::lock_guard lock(mutex_);
    if (!encoder_) return AVIERR_BADFORMAT;
    // Checked here: the encoder must not see a picture the file would refuse.
    if (start < next_ || samples != 1 || !data) return AVIERR_BADPARAM;
    if (size < encoder_->FrameSize()) return AVIERR_BADSIZE;
    written_ = true;
    next_ = static_cast<std::int64_t>(start) + 1;
    // The key-frame flags in the index are the encoder's, not the caller's.
    return encoder_->Encode(static_cast<const std::uint8_t*>(data), size, start, [&](const AVPacket& packet) {
        const std::int64_t position = packet.pts != AV_NOPTS_VALUE ? packet.pts : start;
        if (position < 0 || position > INT32_MAX) return AVIERR_INTERNAL;
        return target_->Write(static_cast<std::int32_t>(position), 1, packet.data,
                              static_cast<std::size_t>(packet.size),
                              (packet.flags & AV_PKT_FLAG_KEY) ? AVIIF_KEYFRAME : 0u);
    });
}

AviResult CompressedStream::Read(std::int32_t, std::vector<std::uint8_t>& data, std::uint32_t& flags) {
    data.clear();
    flags = 0;
    return AVIERR_UNSUPPORTED;
}

}  // namespace tolm::ffmpeg

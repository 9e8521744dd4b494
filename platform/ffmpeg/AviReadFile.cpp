#include "platform/ffmpeg/AviReadFile.h"

#include <utility>

#include "platform/ffmpeg/AviReadStream.h"

namespace tolm::ffmpeg {

AviResult AviReadFile::Open(const std::string& path, std::unique_ptr<AviFile>& out) {
    AvInputContextPtr ctx;
    const AviResult rc = OpenInput(path, ctx);
    if (rc != AVIERR_OK) return rc;
    out = std::make_unique<AviReadFile>(path, std::move(ctx));
    return AVIERR_OK;
}

AviReadFile::AviReadFile(std::string path, AvInputContextPtr ctx) : path_(std::move(path)), spare_(std::move(ctx)) {
    for (unsigned i = 0; i < spare_->nb_streams; ++i) {
        const AVMediaType type = spare_->streams[i]->codecpar->codec_type;
        types_.push_back(type == AVMEDIA_TYPE_VIDEO   ? streamtypeVIDEO
                         : type == AVMEDIA_TYPE_AUDIO ? streamtypeAUDIO
                                                      : 0u);
    }
}

AviResult AviReadFile::CreateStream(const AviStreamInfo&, std::shared_ptr<AviStream>&) {
    return AVIERR_READONLY;
}

AviResult AviReadFile::GetStream(std::uint32_t fccType, std::int32_t index, std::shared_ptr<AviStream>& stream) {
    if (index < 0) return AVIERR_BADPARAM;
    int found = -1;
    std::int32_t seen = 0;
    for (std::size_t i = 0; i < types_.size(); ++i) {
        if (types_[i] == 0 || (fccType != 0 && types_[i] != fccType)) continue;
        if (seen++ == index) {
            found = static_cast<int>(i);
            break;
        }
    }
    if (found < 0) return AVIERR_NODATA;

    AvInputContextPtr ctx;
    {
        std::lock_guard lock(mutex_);
        ctx = std::move(spare_);
    }
    if (!ctx) {
        const AviResult rc = OpenInput(path_, ctx);
        if (rc != AVIERR_OK) return rc;
    }
    std::shared_ptr<AviReadStream> opened;
    const AviResult rc = AviReadStream::Open(path_, std::move(ctx), found, opened);
    if (rc != AVIERR_OK) return rc;
    stream = std::move(opened);
    return AVIERR_OK;
}

AviResult AviReadFile::Finish() {
    return AVIERR_OK;
}

}  // namespace tolm::ffmpeg

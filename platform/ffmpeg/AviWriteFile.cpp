#include "platform/ffmpeg/AviWriteFile.h"

#include <utility>

namespace tolm::ffmpeg {

AviWriteStream::AviWriteStream(std::shared_ptr<AviMuxer> muxer, int index) : muxer_(std::move(muxer)), index_(index) {}

AviStreamInfo AviWriteStream::Info() const {
    return muxer_->Info(index_);
}

AviResult AviWriteStream::SetFormat(std::int32_t position, const void* format, std::size_t size) {
    if (position != 0) return AVIERR_UNSUPPORTED;  // no format changes within a stream
    return muxer_->SetFormat(index_, format, size);
}

std::vector<std::uint8_t> AviWriteStream::Format() const {
    return muxer_->Format(index_);
}

AviResult AviWriteStream::Write(std::int32_t start, std::int32_t samples, const void* data, std::size_t size,
                                std::uint32_t flags) {
    if (start < 0) return AVIERR_BADPARAM;
    return muxer_->Write(index_, start, samples, data, size, flags);
}

AviResult AviWriteStream::WriteInPlace(std::int32_t start, std::uint8_t* data, std::size_t size, std::uint32_t flags) {
    if (start < 0) return AVIERR_BADPARAM;
    return muxer_->WriteFrameInPlace(index_, start, data, size, flags);
}

AviResult AviWriteStream::Read(std::int32_t, std::vector<std::uint8_t>& data, std::uint32_t& flags) {
    data.clear();
    flags = 0;
    return AVIERR_UNSUPPORTED;  // a file being written is read once it is finished
}

AviResult AviWriteFile::Create(const std::string& path, std::unique_ptr<AviFile>& out) {
    std::shared_ptr<AviMuxer> muxer;
    const AviResult rc = AviMuxer::Create(path, muxer);
    if (rc != AVIERR_OK) return rc;
    out = std::make_unique<AviWriteFile>(std::move(muxer));
    return AVIERR_OK;
}

AviWriteFile::AviWriteFile(std::shared_ptr<AviMuxer> muxer) : muxer_(std::move(muxer)) {}

AviResult AviWriteFile::CreateStream(const AviStreamInfo& info, std::shared_ptr<AviStream>& stream) {
    std::lock_guard lock(mutex_);
    int index = -1;
    const AviResult rc = muxer_->AddStream(info, index);
    if (rc != AVIERR_OK) return rc;
    stream = std::make_shared<AviWriteStream>(muxer_, index);
    streams_.push_back(stream);
    return AVIERR_OK;
}

AviResult AviWriteFile::GetStream(std::uint32_t fccType, std::int32_t index, std::shared_ptr<AviStream>& stream) {
    std::lock_guard lock(mutex_);
    std::int32_t seen = 0;
    for (const auto& s : streams_) {
        if (fccType != 0 && s->Info().fccType != fccType) continue;
        if (seen++ == index) {
            stream = s;
            return AVIERR_OK;
        }
    }
    return AVIERR_NODATA;
}

AviResult AviWriteFile::Finish() {
    return muxer_->Finish();
}

}  // namespace tolm::ffmpeg

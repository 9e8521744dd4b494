#include "capture/CutStream.h"

#include <algorithm>

namespace tolm {

CutStream::CutStream(std::shared_ptr<AviStream> inner, std::uint32_t length)
    : inner_(std::move(inner)), length_(std::min(length, inner_->Info().dwLength)) {}

AviStreamInfo CutStream::Info() const {
    AviStreamInfo info = inner_->Info();
    info.dwLength = length_;
    return info;
}

AviResult CutStream::SetFormat(std::int32_t, const void*, std::size_t) {
    return AVIERR_READONLY;
}

std::vector<std::uint8_t> CutStream::Format() const {
    return inner_->Format();
}

AviResult CutStream::Write(std::int32_t, std::int32_t, const void*, std::size_t, std::uint32_t) {
    return AVIERR_READONLY;
}

AviResult CutStream::Read(std::int32_t position, std::vector<std::uint8_t>& data, std::uint32_t& flags) {
    if (position < 0 || static_cast<std::uint32_t>(position) >= length_) return AVIERR_NODATA;
    return inner_->Read(position, data, flags);
}

AviResult CutStream::ReadChunk(std::int64_t position, std::int64_t maxSamples, std::vector<std::uint8_t>& data,
                               std::uint32_t& flags, std::int64_t& samples) {
    if (position < 0 || position >= length_) return AVIERR_NODATA;
    return inner_->ReadChunk(position, std::min<std::int64_t>(maxSamples, length_ - position), data, flags, samples);
}

}  // namespace tolm

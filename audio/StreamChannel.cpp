#include "audio/StreamChannel.h"

#include <limits>

namespace tolm {

bool StreamChannel::Open() {
    try {
        stream_.Seek(0, TSeekOrigin::soBeginning);
        offset_ = 0;
        return true;
    } catch (const EStreamError& e) {
        lastError_ = e.what();
        return false;
    }
}

std::int64_t StreamChannel::Read(void* buffer, std::size_t count) {
    try {
        stream_.Seek(static_cast<std::int64_t>(offset_), TSeekOrigin::soBeginning);
        const std::size_t n = stream_.Read(buffer, count);
        offset_ = stream_.Position();
        return static_cast<std::int64_t>(n);
    } catch (const EStreamError& e) {
        lastError_ = e.what();
        return -1;
    }
}

std::int64_t StreamChannel::Write(const void* buffer, std::size_t count) {
    try {
        stream_.Seek(static_cast<std::int64_t>(offset_), TSeekOrigin::soBeginning);
        stream_.Write(buffer, count);
        offset_ = stream_.Position();
        return static_cast<std::int64_t>(count);
    } catch (const EStreamError& e) {
        lastError_ = e.what();
        return -1;
    }
}

std::int64_t StreamChannel::Seek(std::int64_t offset, TSeekOrigin origin) {
    try {
        if (origin == TSeekOrigin::soCurrent)
            stream_.Seek(static_cast<std::int64_t>(offset_), TSeekOrigin::soBeginning);
        offset_ = stream_.Seek(offset, origin);
        return static_cast<std::int64_t>(offset_);
    } catch (const EStreamError& e) {
        lastError_ = e.what();
        return -1;
    }
}

bool StreamChannel::ReadExact(void* buffer, std::size_t count) {
    const std::int64_t n = Read(buffer, count);
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) != count) {
        lastError_ = "the stream ends inside the wave container";
        return false;
    }
    return true;
}

bool StreamChannel::WriteAll(const void* buffer, std::size_t count) {
    return Write(buffer, count) >= 0;
}

bool StreamChannel::SeekTo(std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        lastError_ = "position beyond the reach of a stream";
        return false;
    }
    return Seek(static_cast<std::int64_t>(offset), TSeekOrigin::soBeginning) >= 0;
}

}  // namespace tolm

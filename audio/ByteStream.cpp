#include "audio/ByteStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include "imaging/Utf8Path.h"
#include "platform/StdioFile.h"

namespace tolm {

namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;
// Positions must stay representable as the signed offsets of seeks.
constexpr std::uint64_t kMaxPosition = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

std::uint64_t Resolve(std::uint64_t position, std::uint64_t size, std::int64_t offset, TSeekOrigin origin,
                      const std::string& streamName) {
    std::uint64_t base = 0;
    switch (origin) {
        case TSeekOrigin::soBeginning:
            base = 0;
            break;
        case TSeekOrigin::soCurrent:
            base = position;
            break;
        case TSeekOrigin::soEnd:
            base = size;
            break;
    }
    if (offset < 0 && static_cast<std::uint64_t>(-(offset + 1)) + 1 > base) {
        throw EStreamError("cannot seek before the start of " + streamName);
    }
    const std::uint64_t target =
        offset < 0 ? base - (static_cast<std::uint64_t>(-(offset + 1)) + 1) : base + static_cast<std::uint64_t>(offset);
    if (target > kMaxPosition || (offset > 0 && target < base)) {
        throw EStreamError("cannot seek that far in " + streamName);
    }
    return target;
}

std::string Quoted(const std::string& fileName) {
    return "\"" + fileName + "\"";
}

}  // namespace

void ByteStream::ReadBuffer(void* buffer, std::size_t count) {
    const std::size_t got = Read(buffer, count);
    if (got != count) {
        throw EStreamError("stream ended after " + std::to_string(got) + " of " + std::to_string(count) + " bytes");
    }
}

void ByteStream::CopyFrom(ByteStream& source, std::uint64_t count) {
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(count, kCopyChunk)));
    while (count > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, chunk.size()));
        source.ReadBuffer(chunk.data(), n);
        Write(chunk.data(), n);
        count -= n;
    }
}

std::size_t MemoryStream::Read(void* buffer, std::size_t count) {
    if (position_ >= bytes_.size()) return 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, bytes_.size() - position_));
    if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

void MemoryStream::Write(const void* buffer, std::size_t count) {
    if (count == 0) return;
    if (count > kMaxPosition - position_) throw EStreamError("memory stream cannot grow that far");
    const std::uint64_t end = position_ + count;
    if (end > bytes_.size()) SetSize(end);
    std::memcpy(bytes_.data() + position_, buffer, count);
    position_ = end;
}

std::uint64_t MemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    position_ = Resolve(position_, bytes_.size(), offset, origin, "a memory stream");
    return position_;
}

void MemoryStream::SetSize(std::uint64_t size) {
    if (size > bytes_.max_size()) throw EStreamError("memory stream cannot hold " + std::to_string(size) + " bytes");
    try {
        bytes_.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        throw EStreamError("out of memory for a memory stream of " + std::to_string(size) + " bytes");
    }
}

FileStream::FileStream(std::string fileName, TFileMode mode) : fileName_(std::move(fileName)), mode_(mode) {
    const char* how = mode == TFileMode::fmOpenRead ? "rb" : mode == TFileMode::fmOpenReadWrite ? "r+b" : "w+b";
    errno = 0;
    file_.reset(OpenStdioFile(fileName_, how));
    if (!file_) {
        Fail(mode == TFileMode::fmCreate ? "cannot create " : "cannot open ", errno);
    }
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
}

void FileStream::Fail(const std::string& what, int error) const {
    std::string text = what + Quoted(fileName_);
    if (error != 0) text += ": " + std::string(std::strerror(error));
    throw EStreamError(text);
}

void FileStream::MoveToPosition() {
    errno = 0;
    if (!SeekStdioFile(file_.get(), position_)) Fail("cannot seek in ", errno);
}

std::size_t FileStream::Read(void* buffer, std::size_t count) {
    if (count == 0) return 0;
    MoveToPosition();
    errno = 0;
    const std::size_t n = std::fread(buffer, 1, count, file_.get());
    const int error = errno;
    const bool failed = std::ferror(file_.get()) != 0;
    std::clearerr(file_.get());
    position_ += n;
    if (n < count && failed) Fail("cannot read from ", error);
    return n;
}

void FileStream::Write(const void* buffer, std::size_t count) {
    if (count == 0) return;
    if (mode_ == TFileMode::fmOpenRead) Fail("cannot write to a file opened for reading: ", 0);
    if (count > kMaxPosition - position_) Fail("file would grow too large: ", 0);
    MoveToPosition();
    errno = 0;
    const std::size_t n = std::fwrite(buffer, 1, count, file_.get());
    const int error = errno;
    std::clearerr(file_.get());
    position_ += n;
    if (n < count) Fail("cannot write to ", error);
}

std::uint64_t FileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const std::uint64_t size = origin == TSeekOrigin::soEnd ? Size() : 0;
    position_ = Resolve(position_, size, offset, origin, Quoted(fileName_));
    return position_;
}

std::uint64_t FileStream::Size() {
    errno = 0;
    const std::optional<std::uint64_t> size = StdioFileSize(file_.get());
    if (!size) Fail("cannot find the size of ", errno);
    return *size;
}

void FileStream::SetSize(std::uint64_t size) {
    if (mode_ == TFileMode::fmOpenRead) Fail("cannot resize a file opened for reading: ", 0);
    if (size > kMaxPosition) Fail("file would grow too large: ", 0);
    // The standard library resizes by name only; the stream is unbuffered, so nothing of ours is pending.
    std::error_code error;
    std::filesystem::resize_file(Utf8Path(fileName_), size, error);
    if (error) throw EStreamError("cannot resize " + Quoted(fileName_) + ": " + error.message());
}

}  // namespace tolm

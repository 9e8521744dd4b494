#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "audio/ByteStream.h"

namespace tolm {

// The chunk layer's I/O channel over a ByteStream. It keeps an offset of its own and moves the stream there
// before every transfer, so others may use the stream in between (locking the audio, re-reading the
// container) without disturbing an open read or write. Stream errors become -1 (or false) results; their
// text is kept in LastError().
class StreamChannel {
  public:
    explicit StreamChannel(ByteStream& stream) : stream_(stream) {}

    // Rewinds the stream and the channel.
    bool Open();
    // Bytes moved, or -1.
    std::int64_t Read(void* buffer, std::size_t count);
    std::int64_t Write(const void* buffer, std::size_t count);
    // The new offset, or -1.
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin);

    bool ReadExact(void* buffer, std::size_t count);
    bool WriteAll(const void* buffer, std::size_t count);
    bool SeekTo(std::uint64_t offset);

    std::uint64_t Offset() const { return offset_; }
    ByteStream& Stream() { return stream_; }
    const std::string& LastError() const { return lastError_; }
    void SetError(std::string text) { lastError_ = std::move(text); }

  private:
    ByteStream& stream_;
    std::uint64_t offset_ = 0;
    std::string lastError_;
};

}  // namespace tolm

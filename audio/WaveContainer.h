#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "audio/ByteStream.h"
#include "audio/RiffChunks.h"
#include "audio/StreamChannel.h"
#include "audio/WaveFormat.h"

// The RIFF/WAVE layout: "RIFF" <size> "WAVE", "fmt " <18 + cbSize> <format record>, "data" <size> <audio>,
// all little-endian, nothing else. Sizes are written as 0 and fixed when the writer finishes; an odd data
// chunk is followed by its pad byte, which the RIFF size counts.
namespace tolm {

inline constexpr std::uint32_t kMinFormatChunkSize = 14;

// What the reading rules find in a wave container.
struct WaveInfo {
    WaveFormatBlock format;
    std::uint32_t dataSize = 0;    // as stored in the "data" chunk header
    std::uint32_t dataOffset = 0;  // stream position of the first audio byte
};

// Reads the container from the start of the stream and restores the stream's position. A valid wave has a
// "RIFF" chunk of form "WAVE", inside it a "fmt " chunk of at least 14 bytes that the stream holds whole
// (shorter records read as zeros up to 18 bytes) whose extra bytes fit the chunk, and a "data" chunk after
// it. False, with the reason in `why`, otherwise.
bool ReadWaveInfo(ByteStream& stream, WaveInfo& info, std::string& why);

// Writes a container in one pass over its own channel: Start writes the header, Write appends audio, Finish
// fixes the sizes and cuts the stream behind the data chunk.
class WaveChunkWriter {
  public:
    explicit WaveChunkWriter(ByteStream& stream) : channel_(stream) {}

    // Empties the stream and writes the header up to the (empty) data chunk.
    bool Start(const WaveFormatBlock& format);
    // Appends audio and returns how many bytes went in: fewer than `count` once the RIFF size field could not
    // count more, -1 when the stream fails.
    std::int64_t Write(const void* buffer, std::size_t count);
    // Takes the last `count` bytes of audio written off the stream again (all of it when fewer).
    bool Unwrite(std::uint64_t count);
    bool Finish();

    std::uint64_t DataOffset() const { return data_.dataOffset; }
    std::uint64_t DataBytesWritten() const { return channel_.Offset() - data_.dataOffset; }
    const std::string& LastError() const { return channel_.LastError(); }

  private:
    StreamChannel channel_;
    RiffChunkInfo riff_;
    RiffChunkInfo data_;
};

}  // namespace tolm

#pragma once

#include <cstdint>

#include "audio/StreamChannel.h"

namespace tolm {

constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24);
}

inline constexpr std::uint32_t kFourCCRiff = MakeFourCC('R', 'I', 'F', 'F');
inline constexpr std::uint32_t kFourCCWave = MakeFourCC('W', 'A', 'V', 'E');
inline constexpr std::uint32_t kFourCCFmt = MakeFourCC('f', 'm', 't', ' ');
inline constexpr std::uint32_t kFourCCData = MakeFourCC('d', 'a', 't', 'a');

// Bookkeeping of one RIFF chunk: its id, size, form type (RIFF chunks only) and the stream offset of its
// data (for a RIFF chunk the form type is the first data field). `created` marks a chunk we are writing,
// whose size field is fixed when we ascend out of it.
struct RiffChunkInfo {
    std::uint32_t ckid = 0;
    std::uint32_t cksize = 0;
    std::uint32_t fccType = 0;
    std::uint64_t dataOffset = 0;
    bool created = false;
};

// Writes the chunk header with a size of 0 (and, for a RIFF chunk, its form type) at the channel's offset.
bool CreateChunk(StreamChannel& channel, RiffChunkInfo& chunk, bool riff);

// Leaves a chunk. A created chunk gets its size (the bytes written since its header), a zero pad byte when
// that size is odd, and the channel ends behind it. Fails for chunks beyond the 32-bit size field.
bool AscendChunk(StreamChannel& channel, RiffChunkInfo& chunk);

// Searches the chunks in [from, end) for the first one with id `ckid` (and, for RIFF chunks, form type
// `fccType`), stepping over odd pad bytes. On success the channel stands at the chunk's data (behind the
// form type for a RIFF chunk).
bool FindChunk(StreamChannel& channel, RiffChunkInfo& chunk, std::uint64_t from, std::uint64_t end, std::uint32_t ckid,
               std::uint32_t fccType = 0);

}  // namespace tolm

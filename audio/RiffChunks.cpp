#include "audio/RiffChunks.h"

#include <limits>

#include "audio/LittleEndian.h"

namespace tolm {

namespace {

constexpr std::uint64_t kMaxChunkSize = std::numeric_limits<std::uint32_t>::max();

std::string FourCCText(std::uint32_t fourcc) {
    std::string text;
    for (int i = 0; i < 4; ++i) text += static_cast<char>((fourcc >> (8 * i)) & 0xFF);
    return "\"" + text + "\"";
}

}  // namespace

bool CreateChunk(StreamChannel& channel, RiffChunkInfo& chunk, bool riff) {
    std::uint8_t header[12];
    PutLE32(header, chunk.ckid);
    PutLE32(header + 4, 0);
    PutLE32(header + 8, chunk.fccType);
    const std::uint64_t start = channel.Offset();
    if (!channel.WriteAll(header, riff ? 12 : 8)) return false;
    chunk.cksize = 0;
    chunk.dataOffset = start + 8;
    chunk.created = true;
    return true;
}

bool AscendChunk(StreamChannel& channel, RiffChunkInfo& chunk) {
    if (!chunk.created) return channel.SeekTo(chunk.dataOffset + chunk.cksize + (chunk.cksize & 1u));
    const std::uint64_t end = channel.Offset();
    const std::uint64_t size = end > chunk.dataOffset ? end - chunk.dataOffset : 0;
    if (size > kMaxChunkSize) {
        channel.SetError("chunk " + FourCCText(chunk.ckid) + " holds more than a RIFF size field can count");
        return false;
    }
    if (size % 2 == 1) {
        const std::uint8_t pad = 0;
        if (!channel.WriteAll(&pad, 1)) return false;
    }
    std::uint8_t field[4];
    PutLE32(field, static_cast<std::uint32_t>(size));
    if (!channel.SeekTo(chunk.dataOffset - 4) || !channel.WriteAll(field, 4)) return false;
    chunk.cksize = static_cast<std::uint32_t>(size);
    chunk.created = false;
    return channel.SeekTo(chunk.dataOffset + size + (size & 1u));
}

bool FindChunk(StreamChannel& channel, RiffChunkInfo& chunk, std::uint64_t from, std::uint64_t end, std::uint32_t ckid,
               std::uint32_t fccType) {
    const bool riff = ckid == kFourCCRiff;
    std::uint64_t position = from;
    while (position + 8 <= end) {
        std::uint8_t header[12];
        if (!channel.SeekTo(position) || !channel.ReadExact(header, 8)) return false;
        const std::uint32_t id = GetLE32(header);
        const std::uint32_t size = GetLE32(header + 4);
        if (id == ckid) {
            bool match = true;
            std::uint32_t form = 0;
            if (riff) {
                // A RIFF chunk too small for its form type cannot be the one searched for.
                if (size < 4) {
                    match = false;
                } else {
                    if (!channel.ReadExact(header + 8, 4)) return false;
                    form = GetLE32(header + 8);
                    match = form == fccType;
                }
            }
            if (match) {
                chunk = RiffChunkInfo{id, size, form, position + 8, false};
                return true;
            }
        }
        position += 8 + static_cast<std::uint64_t>(size) + (size & 1u);
    }
    channel.SetError("no chunk " + FourCCText(ckid) + " found");
    return false;
}

}  // namespace tolm

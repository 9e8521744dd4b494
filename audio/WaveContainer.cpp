#include "audio/WaveContainer.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <vector>

namespace tolm {

namespace {

constexpr std::uint64_t kMaxU32 = std::numeric_limits<std::uint32_t>::max();

bool ReadFrom(StreamChannel& channel, std::uint64_t streamSize, WaveInfo& info, std::string& why) {
    RiffChunkInfo riff;
    if (!FindChunk(channel, riff, 0, streamSize, kFourCCRiff, kFourCCWave)) {
        why = "no RIFF chunk of form WAVE";
        return false;
    }
    const std::uint64_t riffEnd = riff.dataOffset + riff.cksize;
    RiffChunkInfo fmt;
    if (!FindChunk(channel, fmt, riff.dataOffset + 4, riffEnd, kFourCCFmt)) {
        why = "no \"fmt \" chunk in the RIFF chunk";
        return false;
    }
    if (fmt.cksize < kMinFormatChunkSize) {
        why = "the \"fmt \" chunk holds " + std::to_string(fmt.cksize) + " bytes, fewer than a format record needs";
        return false;
    }
    // Checked before allocating, so a corrupt size cannot ask for gigabytes.
    if (fmt.dataOffset + fmt.cksize > streamSize) {
        why = "the \"fmt \" chunk runs past the end of the stream";
        return false;
    }
    // Bytes beyond the largest record (18 + 65535 extra bytes) can belong to no record.
    const std::size_t recordBytes = std::min<std::size_t>(fmt.cksize, kWaveFormatExSize + 0xFFFF);
    std::vector<std::uint8_t> block(std::max(recordBytes, kWaveFormatExSize), 0);
    if (!channel.ReadExact(block.data(), recordBytes)) {
        why = "cannot read the \"fmt \" chunk: " + channel.LastError();
        return false;
    }
    try {
        info.format = WaveFormatBlock::FromBytes(block);
    } catch (const std::invalid_argument& e) {
        why = std::string("the \"fmt \" chunk is damaged: ") + e.what();
        return false;
    }
    if (!AscendChunk(channel, fmt)) {
        why = "cannot step over the \"fmt \" chunk: " + channel.LastError();
        return false;
    }
    RiffChunkInfo data;
    if (!FindChunk(channel, data, channel.Offset(), riffEnd, kFourCCData)) {
        why = "no \"data\" chunk after the \"fmt \" chunk";
        return false;
    }
    if (data.dataOffset > kMaxU32) {
        why = "the \"data\" chunk starts beyond 4 GB";
        return false;
    }
    info.dataSize = data.cksize;
    info.dataOffset = static_cast<std::uint32_t>(data.dataOffset);
    return true;
}

}  // namespace

bool ReadWaveInfo(ByteStream& stream, WaveInfo& info, std::string& why) {
    info = WaveInfo{};
    try {
        const std::uint64_t size = stream.Size();
        if (size == 0) {
            why = "the stream is empty";
            return false;
        }
        const std::uint64_t position = stream.Position();
        StreamChannel channel(stream);
        bool valid = channel.Open() && ReadFrom(channel, size, info, why);
        if (!valid && why.empty()) why = channel.LastError();
        stream.Seek(static_cast<std::int64_t>(position), TSeekOrigin::soBeginning);
        if (!valid) info = WaveInfo{};
        return valid;
    } catch (const EStreamError& e) {
        why = e.what();
        info = WaveInfo{};
        return false;
    }
}

bool WaveChunkWriter::Start(const WaveFormatBlock& format) {
    if (!channel_.Open()) return false;
    try {
        channel_.Stream().SetSize(0);
    } catch (const EStreamError& e) {
        channel_.SetError(e.what());
        return false;
    }
    riff_ = RiffChunkInfo{kFourCCRiff, 0, kFourCCWave, 0, false};
    RiffChunkInfo fmt{kFourCCFmt, 0, 0, 0, false};
    data_ = RiffChunkInfo{kFourCCData, 0, 0, 0, false};
    const std::vector<std::uint8_t> record = format.Bytes();
    return channel_.SeekTo(0) && CreateChunk(channel_, riff_, true) && CreateChunk(channel_, fmt, false) &&
           channel_.WriteAll(record.data(), record.size()) && AscendChunk(channel_, fmt) &&
           CreateChunk(channel_, data_, false);
}

std::int64_t WaveChunkWriter::Write(const void* buffer, std::size_t count) {
    // The RIFF size (file length - 8, pad byte included) must fit its 32-bit field.
    const std::uint64_t limit = (kMaxU32 + 8 - data_.dataOffset) & ~std::uint64_t{1};
    const std::uint64_t written = DataBytesWritten();
    const std::uint64_t room = written < limit ? limit - written : 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, room));
    if (n < count) {
        channel_.SetError("the wave container is full: its RIFF sizes cannot count more than " + std::to_string(limit) +
                          " audio bytes");
    }
    if (n == 0) return 0;
    return channel_.Write(buffer, n);
}

bool WaveChunkWriter::Unwrite(std::uint64_t count) {
    const std::uint64_t end = channel_.Offset() - std::min(count, DataBytesWritten());
    if (!channel_.SeekTo(end)) return false;
    try {
        channel_.Stream().SetSize(end);
    } catch (const EStreamError& e) {
        channel_.SetError(e.what());
        return false;
    }
    return true;
}

bool WaveChunkWriter::Finish() {
    if (!AscendChunk(channel_, data_) || !AscendChunk(channel_, riff_)) return false;
    try {
        // Cuts whatever a failed write may have left behind the container.
        channel_.Stream().SetSize(channel_.Offset());
    } catch (const EStreamError& e) {
        channel_.SetError(e.what());
        return false;
    }
    return true;
}

}  // namespace tolm

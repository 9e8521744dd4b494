#include "platform/WaveTypes.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "imaging/LittleEndian.h"

namespace tolm {

WaveFormatBlock::WaveFormatBlock(const WAVEFORMATEX& record, std::vector<std::uint8_t> extra)
    : record_(record), extra_(std::move(extra)) {
    if (extra_.size() != record_.cbSize) {
        throw std::invalid_argument("wave format record announces " + std::to_string(record_.cbSize) +
                                    " extra bytes but " + std::to_string(extra_.size()) + " were given");
    }
}

WaveFormatBlock WaveFormatBlock::FromBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kWaveFormatExSize) {
        throw std::invalid_argument("a wave format record needs 18 bytes, got " + std::to_string(bytes.size()));
    }
    const std::uint8_t* p = bytes.data();
    WAVEFORMATEX record;
    record.wFormatTag = GetLE16(p);
    record.nChannels = GetLE16(p + 2);
    record.nSamplesPerSec = GetLE32(p + 4);
    record.nAvgBytesPerSec = GetLE32(p + 8);
    record.nBlockAlign = GetLE16(p + 12);
    record.wBitsPerSample = GetLE16(p + 14);
    record.cbSize = GetLE16(p + 16);
    if (bytes.size() - kWaveFormatExSize < record.cbSize) {
        throw std::invalid_argument("wave format record announces " + std::to_string(record.cbSize) +
                                    " extra bytes but only " + std::to_string(bytes.size() - kWaveFormatExSize) +
                                    " follow it");
    }
    return WaveFormatBlock(record,
                           std::vector<std::uint8_t>(p + kWaveFormatExSize, p + kWaveFormatExSize + record.cbSize));
}

std::vector<std::uint8_t> WaveFormatBlock::Bytes() const {
    std::vector<std::uint8_t> bytes(ByteSize());
    std::uint8_t* p = bytes.data();
    PutLE16(p, record_.wFormatTag);
    PutLE16(p + 2, record_.nChannels);
    PutLE32(p + 4, record_.nSamplesPerSec);
    PutLE32(p + 8, record_.nAvgBytesPerSec);
    PutLE16(p + 12, record_.nBlockAlign);
    PutLE16(p + 14, record_.wBitsPerSample);
    PutLE16(p + 16, record_.cbSize);
    std::copy(extra_.begin(), extra_.end(), p + kWaveFormatExSize);
    return bytes;
}

}  // namespace tolm

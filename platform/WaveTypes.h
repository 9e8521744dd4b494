#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tolm {

// The wave format record as wave files and devices exchange it. In a file it takes 18 bytes (little-endian,
// fields in this order), followed by cbSize extra bytes of codec data.
struct WAVEFORMATEX {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;

    friend bool operator==(const WAVEFORMATEX&, const WAVEFORMATEX&) = default;
};

inline constexpr std::size_t kWaveFormatExSize = 18;
inline constexpr std::uint16_t kWaveFormatPCM = 1;

// A format record together with its cbSize extra bytes: what a "fmt " chunk holds and what a wave container
// hands out as its format.
class WaveFormatBlock {
  public:
    WaveFormatBlock() = default;
    // Throws std::invalid_argument when `extra` does not hold exactly record.cbSize bytes.
    explicit WaveFormatBlock(const WAVEFORMATEX& record, std::vector<std::uint8_t> extra = {});

    // Decodes 18 + cbSize bytes; throws std::invalid_argument when `bytes` is shorter than that.
    static WaveFormatBlock FromBytes(std::span<const std::uint8_t> bytes);

    const WAVEFORMATEX& Record() const { return record_; }
    const std::vector<std::uint8_t>& Extra() const { return extra_; }
    std::size_t ByteSize() const { return kWaveFormatExSize + extra_.size(); }
    // The 18 + cbSize bytes as they are stored in a file.
    std::vector<std::uint8_t> Bytes() const;

    friend bool operator==(const WaveFormatBlock&, const WaveFormatBlock&) = default;

  private:
    WAVEFORMATEX record_;
    std::vector<std::uint8_t> extra_;
};

// The format a wave container holds, or none.
using PWaveFormatEx = const WaveFormatBlock*;

}  // namespace tolm

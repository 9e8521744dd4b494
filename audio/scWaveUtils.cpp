#include "audio/scWaveUtils.h"

#include <array>
#include <limits>
#include <string>

namespace tolm {

namespace {

constexpr std::array<std::uint32_t, 5> kStockRates{8000, 11025, 22050, 44100, 48000};
constexpr std::uint64_t kMaxU32 = std::numeric_limits<std::uint32_t>::max();

// Largest whole-block value that fits 32 bits.
std::uint32_t SaturateToBlocks(std::uint64_t n, std::uint16_t blockAlign) {
    if (n <= kMaxU32) return static_cast<std::uint32_t>(n);
    if (blockAlign < 2) return static_cast<std::uint32_t>(kMaxU32);
    return static_cast<std::uint32_t>(kMaxU32 / blockAlign * blockAlign);
}

std::string ChannelWord(std::uint16_t channels) {
    return channels == 1 ? "Mono" : "Stereo";
}

// rate / 1000 with exactly three decimals, computed on integers so no locale can change the separator.
std::string KiloHertz(std::uint32_t rate) {
    std::string fraction = std::to_string(rate % 1000);
    return std::to_string(rate / 1000) + "." + std::string(3 - fraction.size(), '0') + fraction;
}

}  // namespace

void FillStockPCMFormat(WAVEFORMATEX& format, TPCMFormat pcmFormat) {
    const int v = static_cast<int>(pcmFormat);
    if (v < 1 || v > kStockPCMFormatCount) return;
    // The table is a rule: channels alternate fastest, then bit depth, then the rate.
    const int i = v - 1;
    format.wFormatTag = kWaveFormatPCM;
    format.nChannels = (i % 2 == 1) ? 2 : 1;
    format.wBitsPerSample = ((i / 2) % 2 == 1) ? 16 : 8;
    format.nSamplesPerSec = kStockRates[static_cast<std::size_t>(i / 4)];
    format.nBlockAlign = static_cast<std::uint16_t>(ScaledMulDiv(format.nChannels, format.wBitsPerSample, 8));
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    format.cbSize = 0;
}

std::uint64_t ScaledMulDiv(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    if (c == 0) return 0;
    // (2^32 - 1)^2 fits 64 bits, so the product is exact.
    const std::uint64_t product = static_cast<std::uint64_t>(a) * b;
    const std::uint64_t quotient = product / c;
    const std::uint64_t remainder = product % c;
    return remainder >= c - remainder ? quotient + 1 : quotient;
}

std::uint32_t BufferBytesForMilliseconds(const WAVEFORMATEX& format, std::uint32_t milliseconds) {
    std::uint64_t n = ScaledMulDiv(milliseconds, format.nAvgBytesPerSec, 1000);
    const std::uint16_t block = format.nBlockAlign;
    if (block > 1 && n % block != 0) n += block - n % block;
    return SaturateToBlocks(n, block);
}

std::uint32_t MillisecondsToBytes(const WAVEFORMATEX& format, std::uint32_t milliseconds) {
    std::uint64_t n = ScaledMulDiv(format.nAvgBytesPerSec, milliseconds, 1000);
    const std::uint16_t block = format.nBlockAlign;
    if (block >= 2) n = n / block * block;
    return SaturateToBlocks(n, block);
}

std::uint32_t BytesToMilliseconds(const WAVEFORMATEX& format, std::uint32_t bytes) {
    if (format.nAvgBytesPerSec == 0) return 0;
    return SaturateToBlocks(ScaledMulDiv(1000, bytes, format.nAvgBytesPerSec), 1);
}

std::string DescribeWaveFormat(const WAVEFORMATEX& format) {
    const bool namedChannels = format.nChannels == 1 || format.nChannels == 2;
    const std::string channels =
        namedChannels ? ChannelWord(format.nChannels) : std::to_string(format.nChannels) + " Ch";
    std::string text = KiloHertz(format.nSamplesPerSec) + " kHz, ";
    if (format.wBitsPerSample != 0) text += std::to_string(format.wBitsPerSample) + " Bit, ";
    text += channels;
    const std::string name = FormatTagName(format.wFormatTag);
    return name.empty() ? text : name + ": " + text;
}

std::string FormatTagName(std::uint16_t tag) {
    struct TagName {
        std::uint16_t tag;
        const char* name;
    };
    static constexpr TagName kNames[] = {
        {1, "PCM"},
        {2, "Microsoft ADPCM"},
        {3, "PCM IEEE"},
        {4, "VSELP"},
        {5, "CSVD"},
        {6, "A-Law"},
        {7, "u-Law"},
        {8, "DTS"},
        {17, "IMA ADPCM"},
        {49, "GSM 6.10"},
        {67, "Microsoft G.723.1"},
        {80, "MPEG"},
        {85, "MPEG Layer-3"},
    };
    for (const TagName& entry : kNames) {
        if (entry.tag == tag) return entry.name;
    }
    return "";
}

}  // namespace tolm

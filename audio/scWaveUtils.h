#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "audio/WaveFormat.h"

// The audio vocabulary (unit scWaveUtils): stock PCM formats, time/size arithmetic, format texts, the level
// meter's peak and in-place PCM editing. All functions are stateless. The sample functions handle PCM with
// 8 (unsigned) or 16 (signed, little-endian) bits per sample; for any other format they return false (or -1)
// and leave the buffer alone. Multi-byte samples are read whole: a trailing odd byte is never touched.
namespace tolm {

// Writes stock format `pcmFormat` into the record; nonePCM (or a value outside the list) leaves it untouched.
void FillStockPCMFormat(WAVEFORMATEX& format, TPCMFormat pcmFormat);

// a * b / c with a 64-bit product, rounded to the nearest integer (halves up); 0 when c is 0.
std::uint64_t ScaledMulDiv(std::uint32_t a, std::uint32_t b, std::uint32_t c);

// Bytes of a device buffer holding `milliseconds` of audio, rounded up to whole blocks.
std::uint32_t BufferBytesForMilliseconds(const WAVEFORMATEX& format, std::uint32_t milliseconds);
// Byte position of a time, rounded down to whole blocks.
std::uint32_t MillisecondsToBytes(const WAVEFORMATEX& format, std::uint32_t milliseconds);
// Duration of a byte count; 0 when the format has no byte rate.
std::uint32_t BytesToMilliseconds(const WAVEFORMATEX& format, std::uint32_t bytes);
// The three above saturate at the largest 32-bit value (in whole blocks) instead of wrapping.

// "PCM: 44.100 kHz, 16 Bit, Mono": the tag's name (when it has one), the rate, the bit depth (when the record
// has one) and the channels. Independent of the C locale.
std::string DescribeWaveFormat(const WAVEFORMATEX& format);

// The display name of a format tag, or "" for tags without one.
std::string FormatTagName(std::uint16_t tag);

// The loudest positive excursion as 0..100, or -1 when the format cannot be measured. One pass, no allocation.
int PeakLevel(const void* buffer, std::size_t count, const WAVEFORMATEX& format);

// Overwrites the buffer with silence: 127 for 8 bits, 0 for 16 bits.
bool FillSilence(void* buffer, std::size_t count, const WAVEFORMATEX& format);

// Reverses the order of the samples (not of the blocks, so stereo channels change places).
bool ReverseSamples(void* buffer, std::size_t count, const WAVEFORMATEX& format);

// Changes every sample by `percent` percent (-100 silences). 16-bit results are clamped to -32767..32767;
// 8-bit samples are scaled around their midpoint 128 and clamped to 0..255.
bool ScaleSamples(void* buffer, std::size_t count, const WAVEFORMATEX& format, int percent);

// Averages the inputs sample by sample into `outputCount` bytes of `output` (the caller passes the longest
// input length). An input that has run out counts as silence; the divisor is always the number of inputs.
// False for an empty input list.
bool MixSamples(std::span<const std::span<const std::uint8_t>> inputs, const WAVEFORMATEX& format,
                std::size_t outputCount, void* output);

class AudioConverter;

// Converts the whole of `data` from `source` to `target` in one pass into `output` (replaced). False when the
// converter fails; `output` then holds what was produced, possibly nothing.
bool ConvertWithACM(AudioConverter& converter, const WaveFormatBlock& source, std::span<const std::uint8_t> data,
                    const WaveFormatBlock& target, std::vector<std::uint8_t>& output);

}  // namespace tolm

#pragma once

#include <cstddef>
#include <cstdint>

#include "effects/FilterKernels.h"

namespace tolm::simd {

// Vector versions of the filter kernels for x86-64 processors. Each handles a leading part of the run and
// returns how many units (bytes, triples or pixels) it did; the caller does the rest with the plain loop.
// Elsewhere they do nothing and return 0.

struct Support {
    bool sse2 = false;
    bool avx2 = false;
    bool avx512 = false;      // foundation and byte/word instructions
    bool avx512vbmi = false;  // byte permutes
};

// What this processor and system can run.
const Support& Detect();

std::size_t MapBytesVbmi(std::uint8_t* bytes, std::size_t count, const ByteTable& table);
std::size_t AddCyclicSse2(std::uint8_t* bytes, std::size_t count, const CyclicOffsets& offsets);
// Needs n >= 0; advances `state` past the draws of the triples it did.
std::size_t AddNoiseAvx512(std::uint8_t* bytes, std::size_t triples, std::int32_t n, bool mono, std::uint32_t& state);
enum class Tone : std::uint8_t { Grey, Sepia, Saturation };
// Grey scale, sepia or saturation by v over 32-bit pixels.
std::size_t TonePixelsAvx512(std::uint8_t* pixels, std::size_t count, Tone tone, std::int32_t v);
std::size_t GreyPixelsAvx2(std::uint8_t* pixels, std::size_t count, GreyTone tone);
// Needs |v| small enough that (c - g) * v fits 32 bits.
std::size_t SaturatePixelsAvx2(std::uint8_t* pixels, std::size_t count, std::int32_t v);

}  // namespace tolm::simd

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "effects/EffectRandom.h"

namespace tolm {

// Inner loops of the pixel filters over runs of bytes. Each picks a vector implementation when the processor
// has one and gives the same bytes as the plain loop.

using ByteTable = std::array<std::uint8_t, 256>;

// Offsets added to byte j of a run, by j mod 48 (a multiple of both 3 and 4), each within -255..255.
using CyclicOffsets = std::array<std::int16_t, 48>;

// Grey level of a colour, Round(0.3 R + 0.59 G + 0.11 B) in extended precision, halves to even.
std::uint8_t GreyLevelExtended(unsigned r, unsigned g, unsigned b);

// How the extended-precision products round the colours whose exact sum lies on a half: bit r / 10 of word
// (g << 8 | b) is set when the level rounds up. Such colours have one r per (g, b, r / 10). Built on first use.
const std::uint32_t* GreyTieTable();

inline std::uint8_t GreyLevel(unsigned r, unsigned g, unsigned b) {
    // Exact in integers; only a sum on a half needs the extended-precision products, looked up.
    const unsigned s = 30 * r + 59 * g + 11 * b;
    const unsigned q = s / 100;
    const unsigned rem = s - q * 100;
    if (rem == 50) return static_cast<std::uint8_t>(q + ((GreyTieTable()[g << 8 | b] >> (r / 10)) & 1u));
    return static_cast<std::uint8_t>(q + (rem > 50 ? 1 : 0));
}

// table[c] for every byte.
void MapBytes(std::uint8_t* bytes, std::size_t count, const ByteTable& table);

// ClampByte(c + offsets[j mod 48]) for byte j.
void AddCyclic(std::uint8_t* bytes, std::size_t count, const CyclicOffsets& offsets);

// Noise over `triples` byte triples (blue, green, red): three draws per triple taken red first, or one draw
// shared by the triple when `mono`; each draw d adds d - n div 2.
void AddNoise(std::uint8_t* bytes, std::size_t triples, std::int32_t n, bool mono, EffectRandomStream& random);

enum class GreyTone : std::uint8_t { Grey, Sepia };

// Grey scale or sepia over 32-bit pixels, the fourth bytes kept.
void GreyPixels(std::uint8_t* pixels, std::size_t count, GreyTone tone);

// Saturation over 32-bit pixels, the fourth bytes kept.
void SaturatePixels(std::uint8_t* pixels, std::size_t count, std::int32_t v);

// Saturation of one triple or pixel (blue, green, red at p[0..2]); `shift` maps c - g + 255 to the clamped
// ((c - g) * v) div 255 of the current pass.
using SaturationShift = std::array<std::int16_t, 511>;
SaturationShift MakeSaturationShift(std::int32_t v);
inline void SaturateOne(std::uint8_t* p, const SaturationShift& shift) {
    const int g = GreyLevel(p[2], p[1], p[0]);
    for (int k = 0; k < 3; ++k) {
        const int c = g + shift[static_cast<std::size_t>(p[k] - g + 255)];
        p[k] = static_cast<std::uint8_t>(c < 0 ? 0 : (c > 255 ? 255 : c));
    }
}

// Caps the instruction sets the kernels may use, so tests can compare every implementation on one machine.
enum class KernelSet : std::uint8_t { Plain, UpToAvx2, Widest };
void LimitKernels(KernelSet set);

}  // namespace tolm

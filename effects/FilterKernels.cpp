#include "effects/FilterKernels.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include "effects/FilterKernelsSimd.h"

namespace tolm {
namespace {

std::atomic<KernelSet> kernelLimit{KernelSet::Widest};

const simd::Support& Vector() {
    static const simd::Support none{};
    static const simd::Support upToAvx2 = [] {
        simd::Support s = simd::Detect();
        s.avx512 = s.avx512vbmi = false;
        return s;
    }();
    switch (kernelLimit.load(std::memory_order_relaxed)) {
        case KernelSet::Plain:
            return none;
        case KernelSet::UpToAvx2:
            return upToAvx2;
        default:
            return simd::Detect();
    }
}

constexpr std::uint8_t ClampByte(int v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

std::uint8_t GreyLevelExtended(unsigned r, unsigned g, unsigned b) {
    const long double level = 0.3L * r + 0.59L * g + 0.11L * b;
    return ClampByte(static_cast<int>(std::llrintl(level)));
}

const std::uint32_t* GreyTieTable() {
    static const std::vector<std::uint32_t> table = [] {
        std::vector<std::uint32_t> bits(65536, 0);
        for (unsigned g = 0; g < 256; ++g)
            for (unsigned b = 0; b < 256; ++b) {
                // 30 r mod 100 repeats every ten values of r, so the r of a half share one r mod 10.
                const unsigned base = 59 * g + 11 * b;
                unsigned first = 0;
                while (first < 10 && (30 * first + base) % 100 != 50) ++first;
                if (first == 10) continue;
                for (unsigned r = first; r < 256; r += 10)
                    if (GreyLevelExtended(r, g, b) > (30 * r + base) / 100) bits[g << 8 | b] |= 1u << (r / 10);
            }
        return bits;
    }();
    return table.data();
}

void MapBytes(std::uint8_t* bytes, std::size_t count, const ByteTable& table) {
    std::size_t i = Vector().avx512vbmi ? simd::MapBytesVbmi(bytes, count, table) : 0;
    // Four at a time through one word: fewer loads and stores than byte by byte.
    for (; i + 4 <= count; i += 4) {
        std::uint32_t w;
        std::memcpy(&w, bytes + i, 4);
        w = static_cast<std::uint32_t>(table[w & 0xFF]) | static_cast<std::uint32_t>(table[(w >> 8) & 0xFF]) << 8 |
            static_cast<std::uint32_t>(table[(w >> 16) & 0xFF]) << 16 |
            static_cast<std::uint32_t>(table[w >> 24]) << 24;
        std::memcpy(bytes + i, &w, 4);
    }
    for (; i < count; ++i) bytes[i] = table[bytes[i]];
}

void AddCyclic(std::uint8_t* bytes, std::size_t count, const CyclicOffsets& offsets) {
    std::size_t i = Vector().sse2 ? simd::AddCyclicSse2(bytes, count, offsets) : 0;
    for (; i < count; ++i) bytes[i] = ClampByte(bytes[i] + offsets[i % offsets.size()]);
}

void AddNoise(std::uint8_t* bytes, std::size_t triples, std::int32_t n, bool mono, EffectRandomStream& random) {
    std::size_t t = 0;
    if (n >= 0 && Vector().avx512) {
        std::uint32_t state = random.State();
        t = simd::AddNoiseAvx512(bytes, triples, n, mono, state);
        random.SetState(state);
    }
    // 64-bit sums: any 32-bit n stays defined (a negative one draws with its unsigned value).
    const auto range = static_cast<std::uint32_t>(n);
    const std::int64_t half = n / 2;
    auto add = [](std::uint8_t& c, std::int64_t o) {
        const std::int64_t v = c + o;
        c = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    };
    for (std::uint8_t* p = bytes + 3 * t; t < triples; ++t, p += 3) {
        if (mono) {
            const std::int64_t o = static_cast<std::int64_t>(random.Draw(range)) - half;
            add(p[2], o), add(p[1], o), add(p[0], o);
        } else {
            add(p[2], static_cast<std::int64_t>(random.Draw(range)) - half);
            add(p[1], static_cast<std::int64_t>(random.Draw(range)) - half);
            add(p[0], static_cast<std::int64_t>(random.Draw(range)) - half);
        }
    }
}

void GreyPixels(std::uint8_t* pixels, std::size_t count, GreyTone tone) {
    const simd::Support& vector = Vector();
    std::size_t i = 0;
    if (vector.avx512vbmi) {
        i = simd::TonePixelsAvx512(pixels, count, tone == GreyTone::Sepia ? simd::Tone::Sepia : simd::Tone::Grey, 0);
    } else if (vector.avx2) {
        i = simd::GreyPixelsAvx2(pixels, count, tone);
    }
    for (std::uint8_t* p = pixels + 4 * i; i < count; ++i, p += 4) {
        const int g = GreyLevel(p[2], p[1], p[0]);
        if (tone == GreyTone::Sepia) {
            p[0] = static_cast<std::uint8_t>(g), p[1] = ClampByte(g + 34), p[2] = ClampByte(g + 68);
        } else {
            p[0] = p[1] = p[2] = static_cast<std::uint8_t>(g);
        }
    }
}

SaturationShift MakeSaturationShift(std::int32_t v) {
    SaturationShift shift{};
    for (int d = -255; d <= 255; ++d) {
        // Beyond +-255 the sum with any grey level clamps the same way, so the entry fits 16 bits.
        const std::int64_t s = static_cast<std::int64_t>(d) * v / 255;
        shift[static_cast<std::size_t>(d + 255)] = static_cast<std::int16_t>(s < -255 ? -255 : (s > 255 ? 255 : s));
    }
    return shift;
}

void SaturatePixels(std::uint8_t* pixels, std::size_t count, std::int32_t v) {
    // 255 * v within 32 bits keeps the vector products exact.
    constexpr std::int32_t kVectorLimit = 0x7FFFFFFF / 255;
    const simd::Support& vector = Vector();
    std::size_t i = 0;
    if (vector.avx512vbmi) {
        i = simd::TonePixelsAvx512(pixels, count, simd::Tone::Saturation, v);
    } else if (v >= -kVectorLimit && v <= kVectorLimit && vector.avx2) {
        i = simd::SaturatePixelsAvx2(pixels, count, v);
    }
    if (i == count) return;
    const SaturationShift shift = MakeSaturationShift(v);
    for (std::uint8_t* p = pixels + 4 * i; i < count; ++i, p += 4) SaturateOne(p, shift);
}

void LimitKernels(KernelSet set) {
    kernelLimit.store(set, std::memory_order_relaxed);
}

}  // namespace tolm

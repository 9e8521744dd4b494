#include "imaging/Palette.h"

#include <cstdlib>

namespace tolm {
namespace {

constexpr int kCubeLevels = 6;
constexpr int kCubeEntries = kCubeLevels * kCubeLevels * kCubeLevels;
constexpr int kGreyRamp = 256 - kCubeEntries;

constexpr int CubeLevel(int i) {
    return i * 255 / (kCubeLevels - 1);
}
constexpr int CubeIndex(int c) {
    return (c * (kCubeLevels - 1) + 127) / 255;
}

struct Tables {
    std::array<std::uint32_t, 256> palette{};
    std::array<std::uint8_t, 256> greyIndex{};  // nearest palette grey for r == g == b

    Tables() {
        for (int r = 0; r < kCubeLevels; ++r)
            for (int g = 0; g < kCubeLevels; ++g)
                for (int b = 0; b < kCubeLevels; ++b)
                    palette[r * 36 + g * 6 + b] =
                        static_cast<std::uint32_t>(CubeLevel(r) << 16 | CubeLevel(g) << 8 | CubeLevel(b));
        for (int i = 0; i < kGreyRamp; ++i) {
            const auto v = static_cast<std::uint32_t>((i + 1) * 255 / (kGreyRamp + 1));
            palette[kCubeEntries + i] = v << 16 | v << 8 | v;
        }
        for (int v = 0; v < 256; ++v) {
            int best = 0;
            int bestDist = 1 << 30;
            for (int i = 0; i < 256; ++i) {
                const std::uint32_t p = palette[i];
                const int pr = static_cast<int>(p >> 16 & 0xFF);
                if (pr != static_cast<int>(p >> 8 & 0xFF) || pr != static_cast<int>(p & 0xFF)) continue;
                const int d = std::abs(pr - v);
                if (d < bestDist) bestDist = d, best = i;
            }
            greyIndex[v] = static_cast<std::uint8_t>(best);
        }
    }
};

const Tables& GetTables() {
    static const Tables tables;
    return tables;
}

}  // namespace

const std::array<std::uint32_t, 256>& FixedPalette() {
    return GetTables().palette;
}

std::uint8_t PaletteIndex(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    if (r == g && g == b) return GetTables().greyIndex[r];
    return static_cast<std::uint8_t>(CubeIndex(r) * 36 + CubeIndex(g) * 6 + CubeIndex(b));
}

}  // namespace tolm

#include "effects/PixelFilters.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "effects/EffectRandom.h"
#include "effects/FilterKernels.h"

namespace tolm {
namespace {

// Products of a byte with an unchecked 32-bit value are taken in 64 bits, so no value can overflow.
constexpr std::uint8_t ClampByte(std::int64_t v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Triples walked per row. Some 8- and 16-bit widths ask for up to four bytes more than a row stores; there
// only the triples that fit whole are walked, so no walk reaches into the next row or past the image.
std::size_t TriplesPerRow(const Bitmap& frame) {
    const std::int64_t w = frame.Width();
    std::int64_t t = w;
    switch (frame.BitCount()) {
        case 8:
            t = w - 2 * (w / 3);
            break;
        case 16:
            t = w - w / 3;
            break;
        case 24:
            t = w;
            break;
        default:
            t = w + w / 3;
            break;
    }
    return std::min(static_cast<std::size_t>(t), frame.RowBytes() / 3);
}

bool PixelWalk(const Bitmap& frame) {
    return frame.BitCount() == 32;
}

// Calls fn(start, bytes) for the walked part of every row, as one run when the rows leave no gap.
template <class Fn>
void ForEachRun(Bitmap& frame, std::size_t bytesPerRow, Fn fn) {
    if (frame.Empty() || bytesPerRow == 0) return;
    if (bytesPerRow == frame.RowBytes()) {
        fn(frame.Bits(), frame.ByteSize());
        return;
    }
    for (int y = 0; y < frame.Height(); ++y) fn(frame.ScanLine(y), bytesPerRow);
}

template <class Fn>
ByteTable MakeTable(Fn fn) {
    ByteTable table{};
    for (int c = 0; c < 256; ++c) table[static_cast<std::size_t>(c)] = ClampByte(fn(c));
    return table;
}

void MapTriples(Bitmap& frame, const ByteTable& table) {
    ForEachRun(frame, 3 * TriplesPerRow(frame),
               [&](std::uint8_t* run, std::size_t bytes) { MapBytes(run, bytes, table); });
}

void ApplyNoise(Bitmap& frame, std::int32_t n, bool mono) {
    if (frame.Empty()) return;
    const std::size_t triples = TriplesPerRow(frame);
    EffectRandomStream random;
    ForEachRun(frame, 3 * triples,
               [&](std::uint8_t* run, std::size_t bytes) { AddNoise(run, bytes / 3, n, mono, random); });
}

void ApplyGreyTone(Bitmap& frame, GreyTone tone) {
    if (PixelWalk(frame)) {
        ForEachRun(frame, 4 * static_cast<std::size_t>(frame.Width()),
                   [&](std::uint8_t* run, std::size_t bytes) { GreyPixels(run, bytes / 4, tone); });
        return;
    }
    ForEachRun(frame, 3 * TriplesPerRow(frame), [&](std::uint8_t* run, std::size_t bytes) {
        for (std::uint8_t* p = run; p < run + bytes; p += 3) {
            const int g = GreyLevel(p[2], p[1], p[0]);
            if (tone == GreyTone::Sepia) {
                p[0] = ClampByte(g), p[1] = ClampByte(g + 34), p[2] = ClampByte(g + 68);
            } else {
                p[0] = p[1] = p[2] = ClampByte(g);
            }
        }
    });
}

}  // namespace

bool EffectsAllowed(const Bitmap* frame) {
    if (frame == nullptr) return false;
    const int bits = frame->BitCount();
    return !(frame->Width() == 1280 && (bits == 8 || bits == 16));
}

void ApplyBrightness(Bitmap& frame, std::int32_t v) {
    MapTriples(frame, MakeTable([v](std::int64_t c) { return c + (255 - c) * v / 255; }));
}

void ApplyContrast(Bitmap& frame, std::int32_t v) {
    MapTriples(frame, MakeTable([v](std::int64_t c) {
                   const std::int64_t d = std::abs(127 - c) * v / 255;
                   return c > 127 ? c + d : c - d;
               }));
}

void ApplyDarkness(Bitmap& frame, std::int32_t v) {
    MapTriples(frame, MakeTable([v](std::int64_t c) { return c - c * v / 255; }));
}

void ApplySaturation(Bitmap& frame, std::int32_t v) {
    if (v == 255) return;  // ((c - g) * 255) div 255 = c - g: every byte stays
    if (PixelWalk(frame)) {
        ForEachRun(frame, 4 * static_cast<std::size_t>(frame.Width()),
                   [&](std::uint8_t* run, std::size_t bytes) { SaturatePixels(run, bytes / 4, v); });
        return;
    }
    const SaturationShift shift = MakeSaturationShift(v);
    ForEachRun(frame, 3 * TriplesPerRow(frame), [&](std::uint8_t* run, std::size_t bytes) {
        for (std::uint8_t* p = run; p < run + bytes; p += 3) SaturateOne(p, shift);
    });
}

void ApplyColorNoise(Bitmap& frame, std::int32_t n) {
    ApplyNoise(frame, n, false);
}

void ApplyMonoNoise(Bitmap& frame, std::int32_t n) {
    ApplyNoise(frame, n, true);
}

void ApplyPosterize(Bitmap& frame, std::int32_t p) {
    if (p < 1) return;
    MapTriples(frame, MakeTable([p](std::int64_t c) {
                   const long double quotient = static_cast<long double>(c) / p;
                   return static_cast<std::int64_t>(std::llrintl(quotient)) * p;
               }));
}

void ApplyColorAdjust(Bitmap& frame, std::int32_t r, std::int32_t g, std::int32_t b) {
    // Past +-255 every byte clamps the same way, so the offsets fit the kernel's range.
    auto limit = [](std::int32_t o) { return static_cast<std::int16_t>(std::clamp<std::int32_t>(o, -255, 255)); };
    const bool pixels = PixelWalk(frame);
    const std::int16_t perByte[4] = {limit(b), limit(g), limit(r), 0};
    const std::size_t period = pixels ? 4 : 3;
    CyclicOffsets offsets{};
    for (std::size_t j = 0; j < offsets.size(); ++j) offsets[j] = perByte[j % period];
    const std::size_t bytesPerRow = pixels ? 4 * static_cast<std::size_t>(frame.Width()) : 3 * TriplesPerRow(frame);
    ForEachRun(frame, bytesPerRow, [&](std::uint8_t* run, std::size_t bytes) { AddCyclic(run, bytes, offsets); });
}

void ApplyGrayScale(Bitmap& frame) {
    ApplyGreyTone(frame, GreyTone::Grey);
}

void ApplySepia(Bitmap& frame) {
    ApplyGreyTone(frame, GreyTone::Sepia);
}

}  // namespace tolm

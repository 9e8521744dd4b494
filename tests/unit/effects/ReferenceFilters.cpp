#include "ReferenceFilters.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

namespace tolm::test {
namespace {

std::uint8_t Clamp(std::int64_t v) {
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, 255));
}

// p[0..2] are blue, green, red.
void ApplyToColour(std::uint8_t* p, Filter filter, std::int64_t a, std::int64_t g, std::int64_t b, Lcg& random) {
    auto each = [&](auto fn) {
        for (int k = 0; k < 3; ++k) p[k] = Clamp(fn(static_cast<std::int64_t>(p[k]), k));
    };
    const std::int64_t grey = ReferenceGrey(p[2], p[1], p[0]);
    switch (filter) {
        case Filter::Brightness:
            return each([&](std::int64_t c, int) { return c + (255 - c) * a / 255; });
        case Filter::Darkness:
            return each([&](std::int64_t c, int) { return c - c * a / 255; });
        case Filter::Contrast:
            return each([&](std::int64_t c, int) {
                const std::int64_t d = std::abs(127 - c) * a / 255;
                return c > 127 ? c + d : c - d;
            });
        case Filter::Saturation:
            return each([&](std::int64_t c, int) { return grey + (c - grey) * a / 255; });
        case Filter::ColorNoise: {
            const std::int64_t red = random.Draw(static_cast<std::uint32_t>(a));
            const std::int64_t green = random.Draw(static_cast<std::uint32_t>(a));
            const std::int64_t blue = random.Draw(static_cast<std::uint32_t>(a));
            const std::int64_t draws[3] = {blue, green, red};
            return each([&](std::int64_t c, int k) { return c + draws[k] - a / 2; });
        }
        case Filter::MonoNoise: {
            const std::int64_t o = static_cast<std::int64_t>(random.Draw(static_cast<std::uint32_t>(a))) - a / 2;
            return each([&](std::int64_t c, int) { return c + o; });
        }
        case Filter::Posterize:
            return each([&](std::int64_t c, int) {
                return static_cast<std::int64_t>(std::llrintl(static_cast<long double>(c) / a)) * a;
            });
        case Filter::ColorAdjust: {
            const std::int64_t offsets[3] = {b, g, a};
            return each([&](std::int64_t c, int k) { return c + offsets[k]; });
        }
        case Filter::Grey:
            return each([&](std::int64_t, int) { return grey; });
        case Filter::Sepia:
            return each([&](std::int64_t, int k) { return grey + (k == 2 ? 68 : k == 1 ? 34 : 0); });
    }
}

}  // namespace

std::uint32_t Lcg::Draw(std::uint32_t range) {
    state = state * 0x08088405u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(state) * range) >> 32);
}

std::uint8_t ReferenceGrey(int r, int g, int b) {
    return Clamp(std::llrintl(0.3L * r + 0.59L * g + 0.11L * b));
}

std::size_t ReferenceTriples(const Bitmap& frame) {
    const std::size_t w = static_cast<std::size_t>(frame.Width());
    const std::size_t table = frame.BitCount() == 8    ? w - 2 * (w / 3)
                              : frame.BitCount() == 16 ? w - w / 3
                              : frame.BitCount() == 24 ? w
                                                       : w + w / 3;
    return std::min(table, frame.RowBytes() / 3);
}

void ApplyReference(Bitmap& frame, Filter filter, std::int32_t a, Lcg& random, std::int32_t g, std::int32_t b) {
    const bool pixelWalk = frame.BitCount() == 32 && (filter == Filter::Saturation || filter == Filter::Grey ||
                                                      filter == Filter::Sepia || filter == Filter::ColorAdjust);
    const std::size_t units = pixelWalk ? static_cast<std::size_t>(frame.Width()) : ReferenceTriples(frame);
    const std::size_t step = pixelWalk ? 4 : 3;
    for (int y = 0; y < frame.Height(); ++y)
        for (std::size_t i = 0; i < units; ++i) ApplyToColour(frame.ScanLine(y) + step * i, filter, a, g, b, random);
}

Bitmap RandomFrame(int width, int height, TPixelFormat format, std::uint32_t seed) {
    Bitmap frame(width, height, format);
    std::mt19937 engine(seed);
    for (std::size_t i = 0; i < frame.ByteSize(); ++i) frame.Bits()[i] = static_cast<std::uint8_t>(engine());
    return frame;
}

}  // namespace tolm::test

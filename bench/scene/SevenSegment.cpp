#include "SevenSegment.h"

#include <array>
#include <cstddef>

namespace tolm::scene {

namespace {

// Bits a..g: top, top right, bottom right, bottom, bottom left, top left, middle.
constexpr std::array<uint8_t, 10> kSegments = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

std::array<Box, 7> SegmentsOf(int x, int y, int height, uint32_t rgb) {
    const int t = height / 8 > 1 ? height / 8 : 1;  // stroke
    const int w = height / 2;
    const int half = height / 2;
    return {{
        {x + t, y, w - 2 * t, t, rgb},                            // a
        {x + w - t, y + t, t, half - t - t / 2, rgb},             // b
        {x + w - t, y + half + t / 2, t, half - t - t / 2, rgb},  // c
        {x + t, y + height - t, w - 2 * t, t, rgb},               // d
        {x, y + half + t / 2, t, half - t - t / 2, rgb},          // e
        {x, y + t, t, half - t - t / 2, rgb},                     // f
        {x + t, y + half - t / 2, w - 2 * t, t, rgb},             // g
    }};
}

void AppendDigit(BoxList& out, int digit, int x, int y, int height, uint32_t rgb) {
    const std::array<Box, 7> segments = SegmentsOf(x, y, height, rgb);
    const uint8_t mask = kSegments[static_cast<std::size_t>(digit)];
    for (std::size_t s = 0; s < segments.size(); ++s)
        if (mask & (1u << s)) out.push_back(segments[s]);
}

// The digit whose segments are exactly the lit ones, -1 for none; the holes inside the digit are never lit, so
// a bright picture is no 8.
int ReadDigit(const SegmentProbe& lit, int x, int y, int height) {
    if (lit(x + height / 4, y + height / 4) || lit(x + height / 4, y + 3 * height / 4)) return -1;
    const std::array<Box, 7> segments = SegmentsOf(x, y, height, 0);
    uint8_t mask = 0;
    for (std::size_t s = 0; s < segments.size(); ++s) {
        const Box& b = segments[s];
        if (lit(b.x + b.width / 2, b.y + b.height / 2)) mask |= static_cast<uint8_t>(1u << s);
    }
    for (std::size_t d = 0; d < kSegments.size(); ++d)
        if (kSegments[d] == mask) return static_cast<int>(d);
    return -1;
}

}  // namespace

int SevenSegmentCellWidth(int digitHeight) {
    return digitHeight / 2 + digitHeight / 5;
}

void AppendSevenSegmentNumber(BoxList& out, long value, int digits, int x, int y, int digitHeight, uint32_t rgb) {
    if (value < 0) value = -value;
    const int cell = SevenSegmentCellWidth(digitHeight);
    for (int i = digits - 1; i >= 0; --i) {
        AppendDigit(out, static_cast<int>(value % 10), x + i * cell, y, digitHeight, rgb);
        value /= 10;
    }
}

long ReadSevenSegmentNumber(const SegmentProbe& lit, int digits, int x, int y, int digitHeight) {
    const int cell = SevenSegmentCellWidth(digitHeight);
    long value = 0;
    for (int i = 0; i < digits; ++i) {
        const int digit = ReadDigit(lit, x + i * cell, y, digitHeight);
        if (digit < 0) return -1;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace tolm::scene

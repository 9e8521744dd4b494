#include "SevenSegment.h"

#include <array>
#include <cstddef>

namespace tolm::scene {

namespace {

// Bits a..g: top, top right, bottom right, bottom, bottom left, top left, middle.
constexpr std::array<uint8_t, 10> kSegments = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

void AppendDigit(BoxList& out, int digit, int x, int y, int height, uint32_t rgb) {
    const int t = height / 8 > 1 ? height / 8 : 1;  // stroke
    const int w = height / 2;
    const int half = height / 2;
    const Box segments[7] = {
        {x + t, y, w - 2 * t, t, rgb},                            // a
        {x + w - t, y + t, t, half - t - t / 2, rgb},             // b
        {x + w - t, y + half + t / 2, t, half - t - t / 2, rgb},  // c
        {x + t, y + height - t, w - 2 * t, t, rgb},               // d
        {x, y + half + t / 2, t, half - t - t / 2, rgb},          // e
        {x, y + t, t, half - t - t / 2, rgb},                     // f
        {x + t, y + half - t / 2, w - 2 * t, t, rgb},             // g
    };
    const uint8_t mask = kSegments[static_cast<std::size_t>(digit)];
    for (int s = 0; s < 7; ++s)
        if (mask & (1u << s)) out.push_back(segments[s]);
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

}  // namespace tolm::scene

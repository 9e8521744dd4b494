#include "SceneComposer.h"

#include "SevenSegment.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace tolm::scene {

namespace {

constexpr int kCounterDigits = 6;
constexpr int kLineHeight = 18;
constexpr int kGlyphCell = 9;
constexpr int kScrollPerFrame = 3;
constexpr uint32_t kTextBackground = 0x1E1E28;

// Stable across runs and platforms, unlike std::hash or the standard engines' distributions.
uint32_t Mix(uint64_t a, uint64_t b) {
    uint64_t x = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull);
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 33;
    return static_cast<uint32_t>(x);
}

// Position on a track of `span` pixels that bounces at both ends.
int Bounce(long frame, int speed, int phase, int span) {
    if (span <= 0) return 0;
    const long period = 2L * span;
    const long p = (frame * speed + phase) % period;
    return static_cast<int>(p <= span ? p : period - p);
}

}  // namespace

SceneComposer::SceneComposer(int width, int height)
    : width_(width), height_(height), textTop_(height / 4), digitHeight_(std::max(16, height / 9)) {}

BoxList SceneComposer::StillPart() const {
    static constexpr std::array<uint32_t, 8> bars = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00,
                                                     0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};
    BoxList out;
    const int barBottom = height_ / 6;
    for (int i = 0; i < 8; ++i) {
        const int x0 = i * width_ / 8;
        out.push_back({x0, 0, (i + 1) * width_ / 8 - x0, barBottom, bars[static_cast<std::size_t>(i)]});
    }
    for (int i = 0; i < 64; ++i) {
        const uint32_t v = static_cast<uint32_t>(i * 255 / 63);
        const int x0 = i * width_ / 64;
        out.push_back({x0, barBottom, (i + 1) * width_ / 64 - x0, textTop_ - barBottom, v << 16 | v << 8 | v});
    }
    return out;
}

BoxList SceneComposer::MovingPart(long frame) const {
    BoxList out;
    out.reserve(8192);
    out.push_back({0, textTop_, width_, height_ - textTop_, kTextBackground});
    AppendText(out, frame);
    AppendBlocks(out, frame);
    AppendCounter(out, frame);
    return out;
}

void SceneComposer::AppendCounter(BoxList& out, long frame) const {
    const int pad = digitHeight_ / 8;
    const int cell = SevenSegmentCellWidth(digitHeight_);
    out.push_back(
        {24, 24, kCounterDigits * cell - (cell - digitHeight_ / 2) + 2 * pad, digitHeight_ + 2 * pad, 0x000000});
    AppendSevenSegmentNumber(out, frame, kCounterDigits, 24 + pad, 24 + pad, digitHeight_, 0x40FF40);
}

long SceneComposer::ReadCounter(const SegmentProbe& lit) const {
    const int pad = digitHeight_ / 8;
    return ReadSevenSegmentNumber(lit, kCounterDigits, 24 + pad, 24 + pad, digitHeight_);
}

void SceneComposer::AppendText(BoxList& out, long frame) const {
    // Colours of keywords, names, literals and comments, as an editor would show them.
    static constexpr std::array<uint32_t, 6> palette = {0xD4D4D4, 0x569CD6, 0xCE9178, 0x6A9955, 0xDCDCAA, 0xC586C0};
    const long offset = frame * kScrollPerFrame;
    const long firstLine = offset / kLineHeight;
    const int shift = static_cast<int>(offset % kLineHeight);
    const int columns = width_ / kGlyphCell;
    for (long line = firstLine;; ++line) {
        const int top = textTop_ + static_cast<int>(line - firstLine) * kLineHeight - shift;
        if (top >= height_) break;
        const uint32_t h = Mix(static_cast<uint64_t>(line), 1);
        if (h % 7 == 0) continue;  // blank line
        const int indent = static_cast<int>(h >> 8) % 6 * 4;
        const int length = std::min(columns, indent + 20 + static_cast<int>(h >> 16) % (columns * 3 / 4));
        int column = indent;
        for (int word = 0; column < length; ++word) {
            const uint32_t w = Mix(static_cast<uint64_t>(line), static_cast<uint64_t>(word) + 2);
            const int letters = 2 + static_cast<int>(w % 9);
            const uint32_t rgb = palette[(w >> 4) % palette.size()];
            for (int i = 0; i < letters && column < length; ++i, ++column) {
                // Letters differ in height like x-height, ascender and descender glyphs.
                const uint32_t g = Mix(w, static_cast<uint64_t>(i));
                const int kind = static_cast<int>(g % 4);
                const int glyphTop = top + 4 + (kind == 1 ? -2 : kind == 2 ? 3 : 0);
                const int glyphHeight = kind == 1 ? 12 : kind == 3 ? 13 : 7 + (kind == 0 ? 3 : 0);
                AppendClipped(out, {column * kGlyphCell, glyphTop, kGlyphCell - 2, glyphHeight, rgb});
            }
            ++column;  // space between words
        }
    }
}

void SceneComposer::AppendBlocks(BoxList& out, long frame) const {
    struct Mover {
        int size;
        int speedX;
        int speedY;
        uint32_t rgb;
    };
    static constexpr std::array<Mover, 6> movers = {{{160, 7, 3, 0xFF8000},
                                                     {120, 11, 5, 0x00C0FF},
                                                     {90, 4, 9, 0xFF40A0},
                                                     {140, 13, 2, 0x80FF00},
                                                     {60, 17, 13, 0xFFFF40},
                                                     {100, 5, 6, 0xA060FF}}};
    for (std::size_t i = 0; i < movers.size(); ++i) {
        const Mover& m = movers[i];
        const int size = std::min(m.size, (height_ - textTop_) / 2);
        const int phase = static_cast<int>(i) * 211;
        const int x = Bounce(frame, m.speedX, phase, width_ - size);
        const int y = textTop_ + Bounce(frame, m.speedY, phase, height_ - textTop_ - size);
        out.push_back({x, y, size, size, m.rgb});
        // A darker core and a stripe give edges inside the block, not only round it.
        out.push_back({x + size / 4, y + size / 4, size / 2, size / 2, m.rgb >> 1 & 0x7F7F7F});
        out.push_back({x, y + size / 2 - 2, size, 4, 0xFFFFFF});
    }
}

void SceneComposer::AppendClipped(BoxList& out, Box box) const {
    const int bottom = std::min(box.y + box.height, height_);
    box.y = std::max(box.y, textTop_);
    box.height = bottom - box.y;
    const int right = std::min(box.x + box.width, width_);
    box.width = right - box.x;
    if (box.width > 0 && box.height > 0) out.push_back(box);
}

}  // namespace tolm::scene

#include "platform/screencodecs/ZmbvBlockSearch.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

namespace tolm::screencodecs {
namespace {

// The farthest step along an axis tried when no earlier vector fits: a few lines of scrolling text.
constexpr int kAxisReach = 16;
constexpr std::size_t kPixelBytes = 4;

const std::uint8_t* Row(const Picture& p, int x, int y) {
    return p.data + static_cast<std::ptrdiff_t>(y) * p.stride + static_cast<std::ptrdiff_t>(x) * 4;
}

std::uint32_t Pixel(const std::uint8_t* row, int x) {
    std::uint32_t v;
    std::memcpy(&v, row + static_cast<std::size_t>(x) * kPixelBytes, sizeof v);
    return v;
}

// A vector byte pair: x doubled with the low bit telling whether XOR data follows, y doubled.
void WriteVector(std::uint8_t* entry, ZmbvVector v, bool withXor) {
    entry[0] = static_cast<std::uint8_t>(static_cast<unsigned>(v.x) << 1 | (withXor ? 1u : 0u));
    entry[1] = static_cast<std::uint8_t>(static_cast<unsigned>(v.y) << 1);
}

bool Same(const Picture& cur, const Picture& prev, int x, int y, int w, int h, ZmbvVector v) {
    const std::size_t bytes = static_cast<std::size_t>(w) * kPixelBytes;
    for (int j = 0; j < h; ++j)
        if (std::memcmp(Row(cur, x, y + j), Row(prev, x + v.x, y + v.y + j), bytes) != 0) return false;
    return true;
}

// Pixels that differ, counted until more than `limit`.
int Differences(const Picture& cur, const Picture& prev, int x, int y, int w, int h, ZmbvVector v, int limit) {
    int count = 0;
    for (int j = 0; j < h && count <= limit; ++j) {
        const std::uint8_t* a = Row(cur, x, y + j);
        const std::uint8_t* b = Row(prev, x + v.x, y + v.y + j);
        for (int i = 0; i < w; ++i) count += Pixel(a, i) != Pixel(b, i);
    }
    return count;
}

void AppendXor(const Picture& cur, const Picture& prev, int x, int y, int w, int h, ZmbvVector v,
               std::vector<std::uint8_t>& out) {
    const std::size_t bytes = static_cast<std::size_t>(w) * kPixelBytes;
    std::size_t at = out.size();
    out.resize(at + bytes * static_cast<std::size_t>(h));
    for (int j = 0; j < h; ++j, at += bytes) {
        const std::uint8_t* a = Row(cur, x, y + j);
        const std::uint8_t* b = Row(prev, x + v.x, y + v.y + j);
        std::uint8_t* o = out.data() + at;
        for (std::size_t i = 0; i < bytes; ++i) o[i] = a[i] ^ b[i];
    }
}

}  // namespace

ZmbvBlockSearch::ZmbvBlockSearch(int width, int height)
    : width_(width), height_(height), columns_((width + kBlock - 1) / kBlock), rows_((height + kBlock - 1) / kBlock) {}

ZmbvBlockSearch::Block ZmbvBlockSearch::BlockAt(int index) const {
    const int x = index % columns_ * kBlock;
    const int y = index / columns_ * kBlock;
    return {x, y, std::min(kBlock, width_ - x), std::min(kBlock, height_ - y)};
}

bool ZmbvBlockSearch::Inside(const Block& block, ZmbvVector v) const {
    const int x = block.x + v.x;
    const int y = block.y + v.y;
    return x >= 0 && y >= 0 && x + block.width <= width_ && y + block.height <= height_;
}

ZmbvVector ZmbvBlockSearch::Match(const Picture& cur, const Picture& prev, const Block& b, const ZmbvVector (&tried)[3],
                                  bool& exact) const {
    exact = true;
    for (const ZmbvVector& v : tried)
        if (v != ZmbvVector{} && Inside(b, v) && Same(cur, prev, b.x, b.y, b.width, b.height, v)) return v;
    for (int d = 1; d <= kAxisReach; ++d)
        for (const ZmbvVector v : {ZmbvVector{0, d}, ZmbvVector{0, -d}, ZmbvVector{d, 0}, ZmbvVector{-d, 0}})
            if (Inside(b, v) && Same(cur, prev, b.x, b.y, b.width, b.height, v)) return v;
    exact = false;
    ZmbvVector best{};
    int fewest = Differences(cur, prev, b.x, b.y, b.width, b.height, best, std::numeric_limits<int>::max());
    for (const ZmbvVector& v : tried) {
        if (v == ZmbvVector{} || !Inside(b, v)) continue;
        const int n = Differences(cur, prev, b.x, b.y, b.width, b.height, v, fewest);
        if (n < fewest) {
            fewest = n;
            best = v;
        }
    }
    return best;
}

void ZmbvBlockSearch::Search(const Picture& cur, const Picture& prev, std::uint8_t* table,
                             std::vector<ZmbvVector>& vectors, ZmbvChanges& changes) const {
    changes.xorBytes.clear();
    changes.changed.clear();
    for (int row = 0; row < rows_; ++row) {
        for (int column = 0; column < columns_; ++column) {
            const int index = row * columns_ + column;
            const Block b = BlockAt(index);
            if (Same(cur, prev, b.x, b.y, b.width, b.height, ZmbvVector{})) {
                vectors[static_cast<std::size_t>(index)] = ZmbvVector{};
                WriteVector(table + 2 * index, ZmbvVector{}, false);
                continue;
            }
            changes.changed.push_back(index);
            const ZmbvVector none{};
            const ZmbvVector tried[3] = {
                vectors[static_cast<std::size_t>(index)],
                column > 0 ? vectors[static_cast<std::size_t>(index - 1)] : none,
                row > 0 ? vectors[static_cast<std::size_t>(index - columns_)] : none,
            };
            bool exact = false;
            const ZmbvVector v = Match(cur, prev, b, tried, exact);
            vectors[static_cast<std::size_t>(index)] = v;
            WriteVector(table + 2 * index, v, !exact);
            if (!exact) AppendXor(cur, prev, b.x, b.y, b.width, b.height, v, changes.xorBytes);
        }
    }
}

void ZmbvBlockSearch::Update(const Picture& cur, std::uint8_t* previous, const ZmbvChanges& changes) const {
    const std::size_t stride = static_cast<std::size_t>(width_) * kPixelBytes;
    for (int index : changes.changed) {
        const Block b = BlockAt(index);
        const std::size_t bytes = static_cast<std::size_t>(b.width) * kPixelBytes;
        std::uint8_t* to =
            previous + static_cast<std::size_t>(b.y) * stride + static_cast<std::size_t>(b.x) * kPixelBytes;
        for (int j = 0; j < b.height; ++j, to += stride) std::memcpy(to, Row(cur, b.x, b.y + j), bytes);
    }
}

}  // namespace tolm::screencodecs

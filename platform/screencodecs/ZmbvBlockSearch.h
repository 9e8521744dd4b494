#pragma once

#include <cstdint>
#include <vector>

#include "platform/screencodecs/ScreenEncoder.h"

namespace tolm::screencodecs {

// Where a block's picture comes from in the previous picture, relative to the block.
struct ZmbvVector {
    int x = 0;
    int y = 0;
    friend bool operator==(const ZmbvVector&, const ZmbvVector&) = default;
};

// What the search found besides the vectors.
struct ZmbvChanges {
    std::vector<std::uint8_t> xorBytes;  // the XOR data of the blocks that carry one, in block order
    std::vector<int> changed;            // blocks not the same as the previous picture at the same place
};

// The motion search of the frames between key frames, over 16x16 blocks of 32-bit pixels. Most blocks of a
// screen are unchanged or moved as a whole (scrolling, a dragged window): it tries the zero vector, the vectors
// of the block before and of its neighbours, then short steps along the axes, and takes the first exact match;
// a block without one gets its XOR against the closest of the vectors it tried first.
class ZmbvBlockSearch {
  public:
    static constexpr int kBlock = 16;

    ZmbvBlockSearch(int width, int height);

    int Columns() const { return columns_; }
    int Rows() const { return rows_; }
    int Blocks() const { return columns_ * rows_; }

    // Searches every block of `current` in `previous` (the same size): writes each block's two vector bytes into
    // `table` at the block's index and its vector into `vectors`, which hold the previous frame's on entry.
    void Search(const Picture& current, const Picture& previous, std::uint8_t* table, std::vector<ZmbvVector>& vectors,
                ZmbvChanges& changes) const;

    // Copies the changed blocks of `current` into `previous` (rows of the width's pixels, no padding).
    void Update(const Picture& current, std::uint8_t* previous, const ZmbvChanges& changes) const;

  private:
    struct Block {
        int x;
        int y;
        int width;
        int height;
    };

    Block BlockAt(int index) const;
    ZmbvVector Match(const Picture& current, const Picture& previous, const Block& block, const ZmbvVector (&tried)[3],
                     bool& exact) const;
    bool Inside(const Block& block, ZmbvVector v) const;

    int width_;
    int height_;
    int columns_;
    int rows_;
};

}  // namespace tolm::screencodecs

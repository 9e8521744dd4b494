#pragma once

#include <array>
#include <cstdint>

namespace tolm::screencodecs::msvideo1 {

// One 4x4 block of B,G,R,0 pixels (the fourth byte zero) in the format's order: the bottom row first, each
// row left to right.
using Block = std::array<std::uint32_t, 16>;

inline constexpr int kMaxBlockBytes = 18;  // eight colours and their flags
inline constexpr int kMaxSkipRun = 1023;

// Picks each block's code: keep what the decoder shows (a skip), one colour, two colours, or two colours per
// 2x2 quarter, whichever costs least in squared error plus bytes at the quality's price of a byte. Colours
// are measured as the decoder widens its 5 bits a channel back to 8, so the error is the one a viewer sees.
class BlockCoder {
  public:
    // Quality 1..10000: at 10000 a byte costs nothing and the closest code wins; lower, a byte is worth more
    // error. Anything else is taken as 10000.
    explicit BlockCoder(std::uint32_t quality);

    // Codes `block` where the decoder shows `shown` now (nothing on a key frame, where every block is coded).
    // Returns 0 for a skip, else the bytes written to `out` (at most kMaxBlockBytes); `shown` becomes what the
    // decoder will show.
    int Code(const Block& block, bool key, Block& shown, std::uint8_t* out) const;

  private:
    std::int64_t errorWeight_;
    std::int64_t byteWeight_;
};

// The two bytes of a run of `count` (1..kMaxSkipRun) skipped blocks.
void WriteSkip(int count, std::uint8_t* out);

}  // namespace tolm::screencodecs::msvideo1

#pragma once

#include <cstdint>
#include <vector>

#include "platform/screencodecs/EncoderSettings.h"
#include "platform/screencodecs/MsVideo1Blocks.h"
#include "platform/screencodecs/ScreenEncoder.h"
#include "platform/screencodecs/WorkerPool.h"

namespace tolm::screencodecs {

// MS Video 1 at 16 bits: the picture in 4x4 blocks from the bottom up, each skipped (as the decoder shows it
// already), filled with one colour, or drawn with two colours, or two per 2x2 quarter. A block whose pixels
// are those of the frame before is skipped at once; bands of block rows are coded on all cores.
// Takes B,G,R,0 pictures whose width and height are multiples of 4, and picks the format's 15-bit colours
// itself, nearest to what a viewer sees.
class MsVideo1Encoder final : public ScreenEncoder {
  public:
    explicit MsVideo1Encoder(const EncoderSettings& settings);  // throws std::invalid_argument for a bad size

    void Encode(const Picture& picture, bool& key, std::vector<std::uint8_t>& packet) override;

  private:
    struct Band {
        std::vector<std::uint8_t> bytes;  // room for its blocks' longest codes
        std::size_t used = 0;
    };

    void CodeBand(const Picture& picture, bool key, int band);
    msvideo1::Block Load(const Picture& picture, int column, int row) const;

    int columns_;  // blocks across
    int rows_;     // blocks down
    std::uint32_t keyFrameEvery_;
    std::uint32_t sinceKey_ = 0;  // frames since the last key frame
    bool started_ = false;
    msvideo1::BlockCoder coder_;
    std::vector<msvideo1::Block> source_;  // the last frame's pixels, per block in stream order
    std::vector<msvideo1::Block> shown_;   // what the decoder shows, per block
    std::vector<Band> bands_;
    int rowsPerBand_;
    WorkerPool pool_;
};

}  // namespace tolm::screencodecs

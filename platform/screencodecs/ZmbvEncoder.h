#pragma once

#include <cstdint>
#include <vector>

#include "platform/screencodecs/EncoderSettings.h"
#include "platform/screencodecs/ScreenEncoder.h"
#include "platform/screencodecs/ZmbvBlockSearch.h"
#include "platform/screencodecs/ZmbvDeflater.h"

namespace tolm::screencodecs {

// Zip Motion Blocks Video of 32-bit pictures (B,G,R,0). A key frame is the whole picture deflated; a frame between
// key frames gives every 16x16 block a vector into the previous picture and, where that is not exact, the XOR
// against it, deflated on in the key frame's stream. The quality setting buys compression effort, as it always has
// for this format: the lowest stores, the rest use zlib's fast levels. Without a key-frame distance a key frame
// comes every 25 frames.
class ZmbvEncoder final : public ScreenEncoder {
  public:
    // Throws std::invalid_argument for an empty size.
    explicit ZmbvEncoder(const EncoderSettings& settings);

    // Throws std::invalid_argument for a picture of another size.
    void Encode(const Picture& picture, bool& key, std::vector<std::uint8_t>& packet) override;

  private:
    void EncodeKey(const Picture& picture, std::vector<std::uint8_t>& packet);
    void EncodeDelta(const Picture& picture, std::vector<std::uint8_t>& packet);
    Picture Previous() const;

    int width_;
    int height_;
    std::uint32_t keyFrameEvery_;
    std::uint32_t sinceKey_ = 0;  // frames written since the last key frame, it included; 0: none yet
    ZmbvBlockSearch search_;
    ZmbvDeflater deflater_;
    std::vector<std::uint8_t> previous_;  // the picture the reader holds, rows without padding
    std::vector<ZmbvVector> vectors_;     // each block's vector in the last frame
    std::vector<std::uint8_t> table_;     // the vector bytes of a frame, padded to 4 bytes
    ZmbvChanges changes_;
};

}  // namespace tolm::screencodecs

#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include <zlib.h>

namespace tolm::screencodecs {

// One deflate stream that runs through all frames from a key frame to the next: the reader keeps its inflate
// state between frames, so every frame ends on a byte boundary the reader can stop at and later frames may
// refer back into earlier ones.
class ZmbvDeflater {
  public:
    explicit ZmbvDeflater(int level);  // zlib's, 0 (stored) to 9
    ~ZmbvDeflater();
    ZmbvDeflater(const ZmbvDeflater&) = delete;
    ZmbvDeflater& operator=(const ZmbvDeflater&) = delete;

    // Starts the stream anew, with its header, as a key frame must.
    void Restart();
    // Compresses the pieces, one after the other, as one frame onto the end of `out`.
    void AddFrame(std::span<const std::span<const std::uint8_t>> pieces, std::vector<std::uint8_t>& out);

  private:
    // Runs deflate until it has taken its input (and, for a flush, given all its output); `used` counts the
    // bytes of `out` written, the rest is room.
    void Run(int flush, std::vector<std::uint8_t>& out, std::size_t& used);

    z_stream stream_{};
};

}  // namespace tolm::screencodecs

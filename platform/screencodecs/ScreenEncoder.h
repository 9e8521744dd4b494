#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tolm::screencodecs {

// One picture in an encoder's input format, rows top-down, `stride` bytes from one row to the next.
struct Picture {
    const std::uint8_t* data = nullptr;
    std::ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;
};

// An encoder of our own for a format made for screen content: most of a screen stays as it was from one frame to
// the next, which a general encoder's exhaustive search does not exploit. One per stream; not thread-safe.
class ScreenEncoder {
  public:
    virtual ~ScreenEncoder() = default;

    // Encodes `picture` into `packet` (its bytes are replaced). A key frame is written when `key` is set on entry
    // or the encoder needs one (the first frame, the key-frame interval); on return `key` tells which it wrote.
    virtual void Encode(const Picture& picture, bool& key, std::vector<std::uint8_t>& packet) = 0;

    // Bytes the stream's format carries after its bitmap header; none for most formats.
    virtual std::vector<std::uint8_t> ExtraData() const { return {}; }
};

}  // namespace tolm::screencodecs

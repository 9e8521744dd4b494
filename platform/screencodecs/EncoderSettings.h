#pragma once

#include <cstdint>

namespace tolm::screencodecs {

// What a screen encoder is opened with; each registered encoder has a constructor taking it.
struct EncoderSettings {
    int width = 0;
    int height = 0;
    std::uint32_t quality = 0;        // 1..10000, 10000 the best; anything else: the encoder's own default
    std::uint32_t keyFrameEvery = 0;  // a key frame every this many frames; 0: the encoder's own interval
};

}  // namespace tolm::screencodecs

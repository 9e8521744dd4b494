#pragma once

#include <cstdint>
#include <memory>

#include "platform/screencodecs/EncoderSettings.h"
#include "platform/screencodecs/ScreenEncoder.h"

namespace tolm::screencodecs {

// The pixel layouts a screen encoder may take; the frames are converted to it before they reach it.
enum class InputFormat {
    rgb555,  // 16 bits little-endian: 0, 5 bits red, 5 green, 5 blue
    bgr0,    // 32 bits: blue, green, red, unused
};

// A format we encode ourselves instead of with libavcodec's encoder of the same name.
struct ScreenCodec {
    std::uint32_t handler = 0;  // the compressor entry's four-character code
    InputFormat input = InputFormat::bgr0;
    int sizeMultiple = 1;        // width and height must be multiples of this
    std::uint16_t bitCount = 0;  // what the stream's format header names
    std::unique_ptr<ScreenEncoder> (*make)(const EncoderSettings& settings) = nullptr;
};

template <class Encoder>
std::unique_ptr<ScreenEncoder> Make(const EncoderSettings& settings) {
    return std::make_unique<Encoder>(settings);
}

// Ours for this compressor, or null.
const ScreenCodec* FindScreenCodec(std::uint32_t handler);

}  // namespace tolm::screencodecs

#pragma once

#include <cstdint>

#include "imaging/LittleEndian.h"

namespace tolm {

// PCM samples are little-endian whatever the host is, and may lie unaligned in a buffer.

inline std::int16_t GetSample16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(GetLE16(p));
}

inline void PutSample16(std::uint8_t* p, std::int16_t v) {
    PutLE16(p, static_cast<std::uint16_t>(v));
}

}  // namespace tolm

#pragma once

#include <spa/buffer/buffer.h>

#include <cstdint>
#include <vector>

#include "platform/portal/PixelLayouts.h"

namespace tolm::portal {

// The picture format the stream agreed on.
struct PictureFormat {
    ByteOrder order;
    int width = 0;
    int height = 0;
};

// Converts the picture of `buffer` into `pixels` (rows of blue, green, red, 0 without padding), cut to the
// buffer's crop region when it names one inside the picture (a shared window may fill only part of it); the
// result's size goes to width and height. False when the buffer brings no new picture: marked corrupted, empty,
// or smaller than the format says. Throws std::bad_alloc when `pixels` cannot grow.
bool CopyPicture(const spa_buffer& buffer, const PictureFormat& format, std::vector<std::uint8_t>& pixels, int& width,
                 int& height);

}  // namespace tolm::portal

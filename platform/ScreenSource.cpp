#include "platform/ScreenSource.h"

#include <algorithm>
#include <cstring>

namespace tolm {

bool ScreenSource::GrabInto(const Rect& area, const PixelRows& dst) {
    Bitmap image;
    if (!Grab(area, image)) return false;
    const std::size_t bytes = static_cast<std::size_t>(std::min(dst.width, image.Width())) * 4;
    for (int y = 0; y < std::min(dst.height, image.Height()); ++y) {
        std::uint8_t* row = dst.Row(y);
        std::memcpy(row, image.ScanLine(y), bytes);
        for (std::size_t x = 3; x < bytes; x += 4) row[x] = 0;
    }
    return true;
}

}  // namespace tolm

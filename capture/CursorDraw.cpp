#include "capture/CursorDraw.h"

#include <algorithm>

namespace tolm {

void DrawCursor(const PixelRows& image, const CursorImage& cursor, int x, int y) {
    if (cursor.argb.size() < static_cast<std::size_t>(cursor.width) * cursor.height) return;
    const Rect visible = Intersect(Rect{x, y, cursor.width, cursor.height}, Rect{0, 0, image.width, image.height});
    for (int row = visible.top; row < visible.Bottom(); ++row) {
        const std::uint32_t* src = cursor.argb.data() + static_cast<std::size_t>(row - y) * cursor.width;
        std::uint8_t* dst = image.Row(row);
        for (int col = visible.left; col < visible.Right(); ++col) {
            const std::uint32_t p = src[col - x];
            const std::uint32_t a = p >> 24;
            if (a == 0) continue;
            std::uint8_t* px = dst + 4 * col;
            const std::uint32_t channels[3] = {p & 0xFF, p >> 8 & 0xFF, p >> 16 & 0xFF};  // blue, green, red
            for (int c = 0; c < 3; ++c) {
                // The source is premultiplied: out = src + dst * (1 - alpha), rounded.
                const std::uint32_t v = channels[c] + (px[c] * (255 - a) + 127) / 255;
                px[c] = static_cast<std::uint8_t>(std::min<std::uint32_t>(v, 255));
            }
        }
    }
}

}  // namespace tolm

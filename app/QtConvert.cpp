#include "app/QtConvert.h"

#include <bit>
#include <cstdint>

#include "imaging/Bitmap.h"

namespace tolm {

QRect ToQRect(const Rect& r) {
    return QRect(r.left, r.top, r.width, r.height);
}

static_assert(std::endian::native == std::endian::little, "BGRX rows are read as 32-bit words");

QImage ToQImage(const Bitmap& bitmap) {
    if (bitmap.Empty()) return QImage();
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
    if (image.isNull()) return image;  // out of memory
    for (int y = 0; y < bitmap.Height(); ++y) {
        // BGRX bytes are a little-endian 0xXXRRGGBB; RGB32 wants the unused byte at 0xFF.
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        bitmap.ConvertRowTo(y, TPixelFormat::pf32bit, reinterpret_cast<std::uint8_t*>(row));
        for (int x = 0; x < bitmap.Width(); ++x) row[x] |= 0xFF000000u;
    }
    return image;
}

}  // namespace tolm

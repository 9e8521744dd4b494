#include "platform/portal/PointerMetadata.h"

#include <spa/buffer/meta.h>

#include <cstdint>

#include "platform/portal/PixelLayouts.h"

namespace tolm::portal {

namespace {

// Larger pointers than this are not real ones.
constexpr int kMaxPointerSide = 1024;

// The bitmap at the metadata's bitmap offset; `update` gets an empty image for a hidden pointer.
void ReadBitmap(const spa_meta& meta, const spa_meta_cursor& cursor, PointerUpdate& update) {
    const std::uint64_t at = cursor.bitmap_offset;
    if (at < sizeof(spa_meta_cursor) || at + sizeof(spa_meta_bitmap) > meta.size) return;
    const auto* bitmap = reinterpret_cast<const spa_meta_bitmap*>(static_cast<const std::uint8_t*>(meta.data) + at);
    if (bitmap->format == 0) return;
    update.hasImage = true;
    update.width = update.height = 0;
    update.argb.clear();
    const auto order = ByteOrderOf(bitmap->format);
    const int width = static_cast<int>(bitmap->size.width);
    const int height = static_cast<int>(bitmap->size.height);
    if (!order || bitmap->offset < sizeof(spa_meta_bitmap) || width <= 0 || height <= 0 || width > kMaxPointerSide ||
        height > kMaxPointerSide || bitmap->stride < width * 4) {
        return;
    }
    const std::uint64_t end = at + bitmap->offset + static_cast<std::uint64_t>(bitmap->stride) * (height - 1) +
                              static_cast<std::uint64_t>(width) * 4;
    if (end > meta.size) return;
    const auto* pixels = reinterpret_cast<const std::uint8_t*>(bitmap) + bitmap->offset;
    update.width = width;
    update.height = height;
    update.argb.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        ConvertPointerRow(pixels + static_cast<std::size_t>(y) * bitmap->stride,
                          update.argb.data() + static_cast<std::size_t>(y) * width, width, *order);
    }
}

}  // namespace

bool ReadPointerMetadata(const spa_buffer* buffer, PointerUpdate& update) {
    const spa_meta* meta = spa_buffer_find_meta(buffer, SPA_META_Cursor);
    if (meta == nullptr || meta->data == nullptr || meta->size < sizeof(spa_meta_cursor)) return false;
    const auto* cursor = static_cast<const spa_meta_cursor*>(meta->data);
    if (!spa_meta_cursor_is_valid(cursor)) return false;
    update.hasPosition = true;
    update.position = Point{cursor->position.x, cursor->position.y};
    update.hotspot = Point{cursor->hotspot.x, cursor->hotspot.y};
    update.hasImage = false;
    ReadBitmap(*meta, *cursor, update);
    return true;
}

}  // namespace tolm::portal

#include "platform/portal/PictureCopy.h"

#include <spa/buffer/meta.h>

namespace tolm::portal {

namespace {

// The crop region when the buffer has a sensible one, else the whole picture.
void CropOf(const spa_buffer& buffer, const PictureFormat& format, int& left, int& top, int& width, int& height) {
    left = top = 0;
    width = format.width;
    height = format.height;
    const auto* crop = static_cast<const spa_meta_region*>(
        spa_buffer_find_meta_data(&buffer, SPA_META_VideoCrop, sizeof(spa_meta_region)));
    if (crop == nullptr || !spa_meta_region_is_valid(crop)) return;
    const spa_region& r = crop->region;
    if (r.position.x < 0 || r.position.y < 0 || std::int64_t{r.position.x} + r.size.width > format.width ||
        std::int64_t{r.position.y} + r.size.height > format.height) {
        return;
    }
    left = r.position.x;
    top = r.position.y;
    width = static_cast<int>(r.size.width);
    height = static_cast<int>(r.size.height);
}

}  // namespace

bool CopyPicture(const spa_buffer& buffer, const PictureFormat& format, std::vector<std::uint8_t>& pixels, int& width,
                 int& height) {
    if (format.width <= 0 || format.height <= 0 || buffer.n_datas < 1 || buffer.datas == nullptr) return false;
    const auto* header = static_cast<const spa_meta_header*>(
        spa_buffer_find_meta_data(&buffer, SPA_META_Header, sizeof(spa_meta_header)));
    if (header != nullptr && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED) != 0) return false;
    const spa_data& data = buffer.datas[0];
    if (data.data == nullptr || data.chunk == nullptr || data.chunk->size == 0 ||
        (data.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) != 0) {
        return false;
    }
    const std::uint64_t fullRow = static_cast<std::uint64_t>(format.width) * 4;
    const std::int64_t stride = data.chunk->stride != 0 ? data.chunk->stride : static_cast<std::int64_t>(fullRow);
    const std::uint64_t offset = data.chunk->offset;
    if (stride < static_cast<std::int64_t>(fullRow) ||
        offset + static_cast<std::uint64_t>(stride) * (format.height - 1) + fullRow > data.maxsize) {
        return false;
    }
    int left = 0;
    int top = 0;
    CropOf(buffer, format, left, top, width, height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    pixels.resize(rowBytes * height);
    const auto* first = static_cast<const std::uint8_t*>(data.data) + offset + static_cast<std::size_t>(left) * 4;
    for (int y = 0; y < height; ++y) {
        ConvertRow(first + static_cast<std::size_t>(stride) * (top + y), pixels.data() + rowBytes * y, width,
                   format.order);
    }
    return true;
}

}  // namespace tolm::portal

#include "platform/portal/PixelLayouts.h"

#include <spa/param/video/raw.h>

#include <bit>
#include <cstring>

namespace tolm::portal {

namespace {

struct Layout {
    std::uint32_t format;
    ByteOrder order;
};

constexpr Layout kLayouts[kOfferedFormatCount] = {
    {SPA_VIDEO_FORMAT_BGRx, {0, 1, 2, -1}}, {SPA_VIDEO_FORMAT_BGRA, {0, 1, 2, 3}},
    {SPA_VIDEO_FORMAT_RGBx, {2, 1, 0, -1}}, {SPA_VIDEO_FORMAT_RGBA, {2, 1, 0, 3}},
    {SPA_VIDEO_FORMAT_xBGR, {1, 2, 3, -1}}, {SPA_VIDEO_FORMAT_ABGR, {1, 2, 3, 0}},
    {SPA_VIDEO_FORMAT_xRGB, {3, 2, 1, -1}}, {SPA_VIDEO_FORMAT_ARGB, {3, 2, 1, 0}},
};

constexpr std::uint32_t kOffered[kOfferedFormatCount] = {
    kLayouts[0].format, kLayouts[1].format, kLayouts[2].format, kLayouts[3].format,
    kLayouts[4].format, kLayouts[5].format, kLayouts[6].format, kLayouts[7].format,
};

}  // namespace

const std::uint32_t* OfferedFormats() {
    return kOffered;
}

std::optional<ByteOrder> ByteOrderOf(std::uint32_t spaVideoFormat) {
    for (const Layout& layout : kLayouts) {
        if (layout.format == spaVideoFormat) return layout.order;
    }
    return std::nullopt;
}

void ConvertRow(const std::uint8_t* src, std::uint8_t* dst, int width, const ByteOrder& order) {
    if (order.blue == 0 && order.green == 1 && order.red == 2) {
        if constexpr (std::endian::native == std::endian::little) {
            // One pass of whole pixels with the fourth byte masked: the compiler vectorises it, where a copy
            // followed by a byte loop read every row twice.
            for (int x = 0; x < width; ++x) {
                std::uint32_t pixel;
                std::memcpy(&pixel, src + static_cast<std::size_t>(x) * 4, 4);
                pixel &= 0x00ffffffu;
                std::memcpy(dst + static_cast<std::size_t>(x) * 4, &pixel, 4);
            }
        } else {
            std::memcpy(dst, src, static_cast<std::size_t>(width) * 4);
            for (int x = 0; x < width; ++x) dst[x * 4 + 3] = 0;
        }
        return;
    }
    for (int x = 0; x < width; ++x, src += 4, dst += 4) {
        const std::uint8_t blue = src[order.blue];
        const std::uint8_t green = src[order.green];
        const std::uint8_t red = src[order.red];
        dst[0] = blue;
        dst[1] = green;
        dst[2] = red;
        dst[3] = 0;
    }
}

void ConvertPointerRow(const std::uint8_t* src, std::uint32_t* dst, int width, const ByteOrder& order) {
    for (int x = 0; x < width; ++x, src += 4) {
        const std::uint32_t alpha = order.alpha < 0 ? 255u : src[order.alpha];
        const auto scale = [alpha](std::uint8_t value) { return (value * alpha + 127) / 255; };
        dst[x] = alpha << 24 | scale(src[order.red]) << 16 | scale(src[order.green]) << 8 | scale(src[order.blue]);
    }
}

}  // namespace tolm::portal

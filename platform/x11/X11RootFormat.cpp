#include "platform/x11/X11RootFormat.h"

namespace tolm::x11 {
namespace {

const xcb_visualtype_t* FindVisual(const xcb_screen_t* screen, xcb_visualid_t id) {
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem; xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id == id) return visuals.data;
        }
    }
    return nullptr;
}

const xcb_format_t* FindPixmapFormat(const xcb_setup_t* setup, int depth) {
    const xcb_format_t* formats = xcb_setup_pixmap_formats(setup);
    const int count = xcb_setup_pixmap_formats_length(setup);
    for (int i = 0; i < count; ++i) {
        if (formats[i].depth == depth) return &formats[i];
    }
    return nullptr;
}

}  // namespace

std::size_t RootFormat::RowBytes(int width) const {
    const std::size_t pad = scanlinePad > 0 ? static_cast<std::size_t>(scanlinePad) : 32;
    const std::size_t bits = static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel);
    return (bits + pad - 1) / pad * pad / 8;
}

RootFormat DescribeRootFormat(const xcb_setup_t* setup, const xcb_screen_t* screen) {
    RootFormat format;
    format.depth = screen->root_depth;
    const xcb_format_t* pixmapFormat = FindPixmapFormat(setup, screen->root_depth);
    if (pixmapFormat != nullptr) {
        format.bitsPerPixel = pixmapFormat->bits_per_pixel;
        format.scanlinePad = pixmapFormat->scanline_pad;
    }
    const xcb_visualtype_t* visual = FindVisual(screen, screen->root_visual);

    const bool trueColor = visual != nullptr && visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR;
    const bool depthOk = format.depth == 24 || format.depth == 32;
    const bool masksOk = visual != nullptr && visual->red_mask == 0xFF0000u && visual->green_mask == 0x00FF00u &&
                         visual->blue_mask == 0x0000FFu;
    if (trueColor && depthOk && masksOk && format.bitsPerPixel == 32 &&
        setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) {
        format.supported = true;
        return format;
    }
    format.problem = "The X screen has a " + std::to_string(format.depth) + "-bit deep " +
                     (trueColor ? "TrueColor" : "non-TrueColor") + " root visual with " +
                     std::to_string(format.bitsPerPixel) + " bits per pixel" +
                     (masksOk ? "" : " and an unusual channel order") +
                     (setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST ? "" : " in big-endian byte order") +
                     "; only 24- and 32-bit TrueColor screens with 32-bit pixels can be recorded.";
    return format;
}

}  // namespace tolm::x11

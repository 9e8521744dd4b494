#include "platform/x11/X11OverlayWindow.h"

#include <xcb/shape.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "platform/x11/SigPipeGuard.h"

namespace tolm {
namespace {

constexpr std::size_t kImageTextLimit = 255;  // bytes one ImageText8 request draws

std::int16_t Coordinate(int value) {
    return static_cast<std::int16_t>(std::clamp(value, -32768, 32767));
}

std::uint16_t Extent(int value) {
    return static_cast<std::uint16_t>(std::clamp(value, 0, 32767));
}

// A window may not be empty; the shape makes a 1 x 1 window invisible if it has to be.
std::uint32_t WindowExtent(int value) {
    return static_cast<std::uint32_t>(std::clamp(value, 1, 32767));
}

}  // namespace

X11OverlayWindow::X11OverlayWindow(std::shared_ptr<x11::DesktopCore> core) : core_(std::move(core)) {
    x11::SigPipeGuard pipeGuard;
    if (core_->Lost()) return;
    xcb_connection_t* c = core_->Connection();
    const xcb_screen_t& screen = core_->Screen();

    const xcb_window_t window = xcb_generate_id(c);
    // Values in the order of their mask bits.
    const std::uint32_t windowValues[] = {screen.black_pixel, 1, XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen.root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen.root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK,
                      windowValues);
    window_ = x11::XcbWindow(c, window);

    const xcb_gcontext_t gc = xcb_generate_id(c);
    const std::uint32_t gcValues[] = {core_->Font(), 0};
    xcb_create_gc(c, gc, window, XCB_GC_FONT | XCB_GC_GRAPHICS_EXPOSURES, gcValues);
    gc_ = x11::XcbGc(c, gc);

    core_->AddOverlay(window, *this);
    xcb_flush(c);
}

X11OverlayWindow::~X11OverlayWindow() {
    if (window_.Id() == XCB_NONE) return;
    core_->RemoveOverlay(window_.Id());  // waits for a repaint under way
    x11::SigPipeGuard pipeGuard;
    gc_.Reset();
    window_.Reset();
    if (!core_->Lost()) xcb_flush(core_->Connection());
}

Size X11OverlayWindow::Measure(const std::string& text) {
    std::vector<xcb_char2b_t> characters;
    characters.reserve(text.size());
    for (const char ch : text) characters.push_back(xcb_char2b_t{0, static_cast<std::uint8_t>(ch)});
    xcb_connection_t* c = core_->Connection();
    const x11::XcbReply<xcb_query_text_extents_reply_t> extents(xcb_query_text_extents_reply(
        c, xcb_query_text_extents(c, core_->Font(), static_cast<std::uint32_t>(characters.size()), characters.data()),
        nullptr));
    if (!extents) return Size{};
    fontAscent_ = extents->font_ascent;
    return Size{extents->overall_width, extents->font_ascent + extents->font_descent};
}

Size X11OverlayWindow::TextExtent(const std::string& text) {
    if (measured_ && text == measuredText_) return measuredSize_;
    x11::SigPipeGuard pipeGuard;
    if (!Usable()) return Size{};
    const Size size = Measure(text);
    if (size.height > 0) {
        measured_ = true;
        measuredText_ = text;
        measuredSize_ = size;
    }
    return size;
}

void X11OverlayWindow::SetBounds(const Rect& screen) {
    x11::SigPipeGuard pipeGuard;
    if (!Usable()) return;
    const std::uint32_t values[] = {static_cast<std::uint32_t>(Coordinate(screen.left)),
                                    static_cast<std::uint32_t>(Coordinate(screen.top)), WindowExtent(screen.width),
                                    WindowExtent(screen.height)};
    xcb_configure_window(core_->Connection(), window_.Id(),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(core_->Connection());
}

void X11OverlayWindow::SetShape(const std::vector<Rect>& shape) {
    x11::SigPipeGuard pipeGuard;
    if (!Usable()) return;
    std::vector<xcb_rectangle_t> rectangles;
    rectangles.reserve(shape.size());
    for (const Rect& r : shape) {
        if (r.Empty()) continue;
        rectangles.push_back(xcb_rectangle_t{Coordinate(r.left), Coordinate(r.top), Extent(r.width), Extent(r.height)});
    }
    xcb_connection_t* c = core_->Connection();
    const auto count = static_cast<std::uint32_t>(rectangles.size());
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED, window_.Id(), 0, 0,
                         count, rectangles.data());
    // Without an input shape of its own the window takes the pointer wherever its bounding shape is, which
    // is the same place; with one, the two are set alike.
    if (core_->HasInputShape()) {
        xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, window_.Id(), 0, 0,
                             count, rectangles.data());
    }
    xcb_flush(c);
}

void X11OverlayWindow::Paint(const std::string& caption, Point captionAt, TColor captionText, TColor captionBack,
                             const Rect& frame, TColor frameColor) {
    x11::SigPipeGuard pipeGuard;
    if (!Usable()) return;
    const std::uint32_t framePixel = core_->PixelOf(frameColor);
    xcb_connection_t* c = core_->Connection();
    if (!painting_.done || painting_.framePixel != framePixel) {
        // What the server uncovers is filled with the frame colour before any repaint of ours arrives.
        xcb_change_window_attributes(c, window_.Id(), XCB_CW_BACK_PIXEL, &framePixel);
    }
    painting_ =
        Painting{true, caption, captionAt, core_->PixelOf(captionText), core_->PixelOf(captionBack), frame, framePixel};
    Draw();
    xcb_flush(c);
}

void X11OverlayWindow::Repaint() {
    x11::SigPipeGuard pipeGuard;
    if (!Usable() || !painting_.done) return;
    Draw();
    xcb_flush(core_->Connection());
}

void X11OverlayWindow::Draw() {
    xcb_connection_t* c = core_->Connection();
    DrawCaption();
    if (painting_.frame.Empty()) return;
    xcb_change_gc(c, gc_.Id(), XCB_GC_FOREGROUND, &painting_.framePixel);
    const Rect& f = painting_.frame;
    const xcb_rectangle_t frame{Coordinate(f.left), Coordinate(f.top), Extent(f.width), Extent(f.height)};
    xcb_poly_fill_rectangle(c, window_.Id(), gc_.Id(), 1, &frame);
}

// ImageText8 fills the text's box (its width, ascent plus descent high) with the background: that box is the
// caption strip the shape keeps.
void X11OverlayWindow::DrawCaption() {
    const std::string& caption = painting_.caption;
    if (caption.empty()) return;
    if (fontAscent_ < 0 && Measure(caption).height == 0) return;
    xcb_connection_t* c = core_->Connection();
    const std::uint32_t colours[] = {painting_.textPixel, painting_.backPixel};
    xcb_change_gc(c, gc_.Id(), XCB_GC_FOREGROUND | XCB_GC_BACKGROUND, colours);
    int x = painting_.captionAt.x;
    for (std::size_t start = 0; start < caption.size(); start += kImageTextLimit) {
        const std::string piece = caption.substr(start, kImageTextLimit);
        xcb_image_text_8(c, static_cast<std::uint8_t>(piece.size()), window_.Id(), gc_.Id(), Coordinate(x),
                         Coordinate(painting_.captionAt.y + fontAscent_), piece.c_str());
        if (start + kImageTextLimit < caption.size()) x += Measure(piece).width;
    }
}

void X11OverlayWindow::ShowOnTop() {
    showing_ = true;
    x11::SigPipeGuard pipeGuard;
    if (!Usable()) return;
    xcb_connection_t* c = core_->Connection();
    xcb_map_window(c, window_.Id());
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c, window_.Id(), XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(c);
}

void X11OverlayWindow::Hide() {
    showing_ = false;
    x11::SigPipeGuard pipeGuard;
    if (!Usable()) return;
    xcb_unmap_window(core_->Connection(), window_.Id());
    xcb_flush(core_->Connection());
}

}  // namespace tolm

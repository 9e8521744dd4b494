#include "platform/x11/X11DesktopCore.h"

#include <xcb/shape.h>

#include <bit>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/x11/SigPipeGuard.h"
#include "platform/x11/X11OverlayWindow.h"
#include "platform/x11/XcbConnect.h"

namespace tolm::x11 {
namespace {

constexpr char kCaptionFont[] = "fixed";  // every X server has it, built in if need be

const xcb_visualtype_t* FindVisual(const xcb_screen_t& screen, xcb_visualid_t id) {
    for (auto depths = xcb_screen_allowed_depths_iterator(&screen); depths.rem; xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id == id) return visuals.data;
        }
    }
    return nullptr;
}

// An 8-bit channel value scaled to the bits of `mask` and put in their place.
std::uint32_t Channel(std::uint32_t value, std::uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const std::uint64_t top = (std::uint64_t{mask} >> shift);  // all ones for a contiguous mask
    const std::uint64_t scaled = (value * top + 127) / 255;
    return static_cast<std::uint32_t>(scaled << shift) & mask;
}

}  // namespace

std::shared_ptr<DesktopCore> DesktopCore::Connect(const std::string& displayName, std::string& error) {
    SigPipeGuard pipeGuard;
    DisplayConnection display = ConnectToDisplay(displayName, error);
    if (!display.connection) return nullptr;
    xcb_connection_t* c = display.connection.get();
    const xcb_screen_t* screen = display.screen;
    const std::string shownName = display.shownName;
    XcbConnection connection = std::move(display.connection);
    xcb_prefetch_extension_data(c, &xcb_shape_id);
    auto core = std::make_shared<DesktopCore>(Key{}, std::move(connection), screen, shownName);

    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(c, &xcb_shape_id);
    if (shape == nullptr || !shape->present) {
        error = core->Lost() ? "Lost the connection to the X display " + shownName + " while setting up."
                             : "The X display " + shownName + " has no SHAPE extension, so no area frame can be drawn.";
        return nullptr;
    }
    const XcbReply<xcb_shape_query_version_reply_t> version(
        xcb_shape_query_version_reply(c, xcb_shape_query_version(c), nullptr));
    core->inputShape_ = version && (version->major_version > 1 || version->minor_version >= 1);
    core->DescribeVisual();
    if (!core->OpenFont(error)) return nullptr;
    if (core->Lost()) {
        error = "Lost the connection to the X display " + shownName + " while setting up.";
        return nullptr;
    }
    return core;
}

DesktopCore::DesktopCore(Key, XcbConnection connection, const xcb_screen_t* screen, std::string displayName)
    : connection_(std::move(connection)), screen_(screen), displayName_(std::move(displayName)) {}

DesktopCore::~DesktopCore() {
    SigPipeGuard pipeGuard;
    font_.Reset();
}

bool DesktopCore::OpenFont(std::string& error) {
    xcb_connection_t* c = connection_.get();
    const xcb_font_t font = xcb_generate_id(c);
    const XcbError failure(xcb_request_check(
        c, xcb_open_font_checked(c, font, static_cast<std::uint16_t>(std::strlen(kCaptionFont)), kCaptionFont)));
    if (failure || Lost()) {
        error = "The X display " + displayName_ + " has no core font \"" + kCaptionFont + "\" for the captions.";
        return false;
    }
    font_ = XcbFont(c, font);
    return true;
}

void DesktopCore::DescribeVisual() {
    const xcb_visualtype_t* visual = FindVisual(*screen_, screen_->root_visual);
    if (visual == nullptr) return;
    channelMasks_ = visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR || visual->_class == XCB_VISUAL_CLASS_DIRECT_COLOR;
    redMask_ = visual->red_mask;
    greenMask_ = visual->green_mask;
    blueMask_ = visual->blue_mask;
}

std::uint32_t DesktopCore::PixelOf(TColor colour) {
    const std::uint32_t red = colour & 0xFF;
    const std::uint32_t green = colour >> 8 & 0xFF;
    const std::uint32_t blue = colour >> 16 & 0xFF;
    if (channelMasks_) return Channel(red, redMask_) | Channel(green, greenMask_) | Channel(blue, blueMask_);

    // A colour-mapped screen: one shared read-only cell per colour, kept for the connection's life.
    const std::lock_guard lock(colourMutex_);
    if (const auto it = allocated_.find(colour); it != allocated_.end()) return it->second;
    SigPipeGuard pipeGuard;
    xcb_connection_t* c = connection_.get();
    const XcbReply<xcb_alloc_color_reply_t> cell(xcb_alloc_color_reply(
        c,
        xcb_alloc_color(c, screen_->default_colormap, static_cast<std::uint16_t>(red * 257),
                        static_cast<std::uint16_t>(green * 257), static_cast<std::uint16_t>(blue * 257)),
        nullptr));
    if (cell) {
        allocated_.emplace(colour, cell->pixel);
        return cell->pixel;
    }
    // A full colour map leaves black or white, whichever is nearer.
    return (red * 3 + green * 6 + blue) / 10 >= 128 ? screen_->white_pixel : screen_->black_pixel;
}

void DesktopCore::AddOverlay(xcb_window_t window, X11OverlayWindow& overlay) {
    const std::lock_guard lock(overlayMutex_);
    overlays_[window] = &overlay;
}

void DesktopCore::RemoveOverlay(xcb_window_t window) {
    const std::lock_guard lock(overlayMutex_);
    overlays_.erase(window);
    damaged_.erase(window);
}

bool DesktopCore::MarkDamaged(xcb_window_t window) {
    const std::lock_guard lock(overlayMutex_);
    if (overlays_.find(window) == overlays_.end()) return false;
    const bool first = damaged_.empty();
    damaged_.insert(window);
    return first;
}

void DesktopCore::RepaintDamaged() {
    const std::lock_guard lock(overlayMutex_);
    std::set<xcb_window_t> damaged;
    damaged.swap(damaged_);
    for (const xcb_window_t window : damaged) {
        if (const auto it = overlays_.find(window); it != overlays_.end()) it->second->Repaint();
    }
}

}  // namespace tolm::x11

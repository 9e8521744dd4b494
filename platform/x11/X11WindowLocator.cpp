#include "platform/x11/X11WindowLocator.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <optional>
#include <utility>
#include <vector>

#include "platform/x11/SigPipeGuard.h"
#include "platform/x11/XcbHandles.h"

namespace tolm {
namespace {

bool Contains(const Rect& r, Point p) {
    return p.x >= r.left && p.x < r.Right() && p.y >= r.top && p.y < r.Bottom();
}

// A child of the window being searched, with its questions already on their way.
struct Candidate {
    xcb_window_t window;
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
};

// The window the point lies in, one level down.
struct Hit {
    xcb_window_t window;
    Rect outer;    // border included, root coordinates
    Point origin;  // inside the border, root coordinates
};

bool InRectangles(xcb_shape_get_rectangles_reply_t* reply, Point local) {
    const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(reply);
    const int count = xcb_shape_get_rectangles_rectangles_length(reply);
    for (int i = 0; i < count; ++i) {
        const Rect r{rects[i].x, rects[i].y, rects[i].width, rects[i].height};
        if (Contains(r, local)) return true;
    }
    return false;
}

// The one rectangle a window without a shape of its own reports: its border rectangle. Servers have been
// seen to make it short by the border width on the right and bottom, so both forms count.
bool IsDefaultShape(xcb_shape_get_rectangles_reply_t* reply, int width, int height, int border) {
    if (xcb_shape_get_rectangles_rectangles_length(reply) != 1) return false;
    const xcb_rectangle_t& r = *xcb_shape_get_rectangles_rectangles(reply);
    return r.x == -border && r.y == -border && (r.width == width + border || r.width == width + 2 * border) &&
           (r.height == height + border || r.height == height + 2 * border);
}

// Whether `local` (relative to the window's origin inside its border) lies in the window's bounding shape
// and, when the server keeps one, its input shape. Windows without shapes take the whole border rectangle,
// which the caller has checked.
bool InShapes(xcb_connection_t* c, xcb_window_t window, Point local, const xcb_get_geometry_reply_t& geometry,
              bool inputShape) {
    const auto extentsCookie = xcb_shape_query_extents(c, window);
    const auto boundingCookie = xcb_shape_get_rectangles(c, window, XCB_SHAPE_SK_BOUNDING);
    std::optional<xcb_shape_get_rectangles_cookie_t> inputCookie;
    if (inputShape) inputCookie = xcb_shape_get_rectangles(c, window, XCB_SHAPE_SK_INPUT);
    const x11::XcbReply<xcb_shape_query_extents_reply_t> extents(
        xcb_shape_query_extents_reply(c, extentsCookie, nullptr));
    const x11::XcbReply<xcb_shape_get_rectangles_reply_t> bounding(
        xcb_shape_get_rectangles_reply(c, boundingCookie, nullptr));
    const x11::XcbReply<xcb_shape_get_rectangles_reply_t> input(
        inputCookie ? xcb_shape_get_rectangles_reply(c, *inputCookie, nullptr) : nullptr);
    if (!extents || !bounding || (inputCookie && !input)) return false;  // the window went meanwhile
    if (extents->bounding_shaped && !InRectangles(bounding.get(), local)) return false;
    return !input || IsDefaultShape(input.get(), geometry.width, geometry.height, geometry.border_width) ||
           InRectangles(input.get(), local);
}

// The topmost child of `parent` (whose inside starts at `origin`) that `point` lies in, skipping `ignore`.
std::optional<Hit> ChildAt(xcb_connection_t* c, xcb_window_t parent, Point origin, Point point, xcb_window_t ignore,
                           bool inputShape) {
    const x11::XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr));
    if (!tree) return std::nullopt;  // the window went meanwhile
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());

    // All questions go out at once, so a level costs one round trip however many children it has.
    std::vector<Candidate> candidates;
    candidates.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (children[i] == ignore) continue;
        candidates.push_back(
            Candidate{children[i], xcb_get_window_attributes(c, children[i]), xcb_get_geometry(c, children[i])});
    }

    std::optional<Hit> hit;
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {  // children come bottom first
        if (hit) {
            xcb_discard_reply(c, it->attributes.sequence);
            xcb_discard_reply(c, it->geometry.sequence);
            continue;
        }
        const x11::XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, it->attributes, nullptr));
        const x11::XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, it->geometry, nullptr));
        if (!attributes || !geometry) continue;
        if (attributes->map_state != XCB_MAP_STATE_VIEWABLE || attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY) {
            continue;
        }
        const int border = geometry->border_width;
        const Rect outer{origin.x + geometry->x, origin.y + geometry->y, geometry->width + 2 * border,
                         geometry->height + 2 * border};
        if (!Contains(outer, point)) continue;
        const Point inside{outer.left + border, outer.top + border};
        if (!InShapes(c, it->window, Point{point.x - inside.x, point.y - inside.y}, *geometry, inputShape)) continue;
        hit = Hit{it->window, outer, inside};
    }
    return hit;
}

}  // namespace

X11WindowLocator::X11WindowLocator(std::shared_ptr<x11::DesktopCore> core) : core_(std::move(core)) {}

bool X11WindowLocator::PointerPosition(Point& position) {
    x11::SigPipeGuard pipeGuard;
    if (core_->Lost()) return false;
    xcb_connection_t* c = core_->Connection();
    const x11::XcbReply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, core_->Root()), nullptr));
    if (!pointer || !pointer->same_screen) return false;
    position = Point{pointer->root_x, pointer->root_y};
    return true;
}

bool X11WindowLocator::WindowRectAt(Point position, std::uint64_t ignoreWindow, Rect& rect) {
    x11::SigPipeGuard pipeGuard;
    if (core_->Lost()) return false;
    xcb_connection_t* c = core_->Connection();
    const x11::XcbReply<xcb_get_geometry_reply_t> root(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, core_->Root()), nullptr));
    if (!root) return false;
    Hit found{core_->Root(), Rect{0, 0, root->width, root->height}, Point{0, 0}};
    if (!Contains(found.outer, position)) return false;

    // Ids are 29 bits wide: anything larger matches no window.
    const auto ignore = ignoreWindow <= 0xFFFFFFFFu ? static_cast<xcb_window_t>(ignoreWindow) : XCB_NONE;
    while (const std::optional<Hit> child =
               ChildAt(c, found.window, found.origin, position, ignore, core_->HasInputShape())) {
        found = *child;
    }
    if (core_->Lost()) return false;
    rect = found.outer;
    return true;
}

bool X11WindowLocator::ShowsOnScreen(std::uint64_t window) {
    x11::SigPipeGuard pipeGuard;
    if (core_->Lost() || window > 0xFFFFFFFFu) return false;
    xcb_connection_t* c = core_->Connection();
    // The root's child that holds the window: a window manager's frame, or the window itself without one.
    auto top = static_cast<xcb_window_t>(window);
    for (;;) {
        const x11::XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, top), nullptr));
        if (!tree) return false;  // gone
        if (tree->parent == tree->root || tree->parent == XCB_NONE) break;
        top = tree->parent;
    }
    const x11::XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, top), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

}  // namespace tolm

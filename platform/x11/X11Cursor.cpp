#include "platform/x11/X11Cursor.h"

#include <xcb/xfixes.h>

#include <algorithm>
#include <utility>

#include "platform/x11/XcbConnect.h"

namespace tolm::x11 {
namespace {

constexpr const char* kLost = "Lost the connection to the X display.";
// A prefetched position older than this is no longer the pointer's (nobody has grabbed for a while).
constexpr std::chrono::milliseconds kPrefetchFresh{50};

// Negotiates the XFIXES version, which the server needs before any other XFIXES request.
std::string InitCursorQueries(xcb_connection_t* connection) {
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (extension == nullptr || !extension->present) return "The X display has no XFIXES extension to read the cursor.";
    // Version 4 is what this header set speaks; cursor images and their announcements need 1 or later.
    const XcbReply<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
        connection, xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr));
    if (!version || version->major_version < 1)
        return "The X display's XFIXES extension cannot hand out cursor images.";
    return {};
}

}  // namespace

std::string CursorWatch::Start(const std::string& displayName) {
    std::string error;
    DisplayConnection display = ConnectToDisplay(displayName, error);
    if (!display.connection) return error;
    xcb_connection_t* c = display.connection.get();
    std::string problem = InitCursorQueries(c);
    if (!problem.empty()) return problem;
    // Selected before the first image is read: a change in between is announced, never missed.
    xcb_xfixes_select_cursor_input(c, display.screen->root, XCB_XFIXES_CURSOR_NOTIFY_MASK_DISPLAY_CURSOR);
    const std::lock_guard lock(mutex_);
    firstEvent_ = xcb_get_extension_data(c, &xcb_xfixes_id)->first_event;
    root_ = display.screen->root;
    connection_ = std::move(display.connection);
    return {};
}

bool CursorWatch::Read(CursorImage& cursor, std::string& error) {
    const std::lock_guard lock(mutex_);
    if (!connection_ || xcb_connection_has_error(connection_.get())) {
        error = kLost;
        return false;
    }
    if (ImageChanged()) haveImage_ = false;  // kept so until a read succeeds
    if (!haveImage_) {
        DropPrefetch();
        if (!ReadImage(error)) return false;  // brings the position along
    } else if (!ReadPosition(error)) {
        return false;
    }
    cursor = cursor_;
    return true;
}

void CursorWatch::PrefetchPosition() {
    const std::lock_guard lock(mutex_);
    if (!connection_) return;
    DropPrefetch();
    prefetch_ = xcb_query_pointer(connection_.get(), root_);
    prefetched_ = true;
    prefetchedAt_ = std::chrono::steady_clock::now();
    xcb_flush(connection_.get());  // on its way now, not with the next read
}

void CursorWatch::DropPrefetch() {
    if (prefetched_) xcb_discard_reply(connection_.get(), prefetch_.sequence);
    prefetched_ = false;
}

bool CursorWatch::ImageChanged() {
    bool changed = false;
    while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection_.get())}) {
        if ((event->response_type & 0x7F) != firstEvent_ + XCB_XFIXES_CURSOR_NOTIFY) continue;
        const auto* notify = reinterpret_cast<const xcb_xfixes_cursor_notify_event_t*>(event.get());
        changed = changed || notify->cursor_serial != serial_;
    }
    return changed;
}

bool CursorWatch::ReadImage(std::string& error) {
    xcb_connection_t* c = connection_.get();
    xcb_generic_error_t* rawError = nullptr;
    const XcbReply<xcb_xfixes_get_cursor_image_reply_t> reply(
        xcb_xfixes_get_cursor_image_reply(c, xcb_xfixes_get_cursor_image(c), &rawError));
    const XcbError replyError(rawError);
    if (!reply) {
        error = replyError
                    ? "The X server refused the cursor image (error " + std::to_string(replyError->error_code) + ")."
                    : kLost;
        return false;
    }
    const std::size_t pixels = static_cast<std::size_t>(reply->width) * reply->height;
    const int delivered = xcb_xfixes_get_cursor_image_cursor_image_length(reply.get());
    if (delivered < 0 || static_cast<std::size_t>(delivered) < pixels) {
        error = "The X server sent a truncated cursor image.";
        return false;
    }
    const std::uint32_t* argb = xcb_xfixes_get_cursor_image_cursor_image(reply.get());
    cursor_.position = Point{reply->x, reply->y};
    cursor_.hotspot = Point{reply->xhot, reply->yhot};
    cursor_.width = reply->width;
    cursor_.height = reply->height;
    cursor_.argb.assign(argb, argb + pixels);
    cursor_.visible =
        std::any_of(cursor_.argb.begin(), cursor_.argb.end(), [](std::uint32_t p) { return (p >> 24) != 0; });
    serial_ = reply->cursor_serial;
    haveImage_ = true;
    return true;
}

bool CursorWatch::ReadPosition(std::string& error) {
    xcb_connection_t* c = connection_.get();
    if (std::chrono::steady_clock::now() - prefetchedAt_ > kPrefetchFresh) DropPrefetch();
    const xcb_query_pointer_cookie_t cookie = prefetched_ ? prefetch_ : xcb_query_pointer(c, root_);
    prefetched_ = false;
    xcb_generic_error_t* rawError = nullptr;
    const XcbReply<xcb_query_pointer_reply_t> reply(xcb_query_pointer_reply(c, cookie, &rawError));
    const XcbError replyError(rawError);
    if (!reply) {
        error = replyError ? "The X server refused the pointer position (error " +
                                 std::to_string(replyError->error_code) + ")."
                           : kLost;
        return false;
    }
    cursor_.position = Point{reply->root_x, reply->root_y};
    return true;
}

}  // namespace tolm::x11

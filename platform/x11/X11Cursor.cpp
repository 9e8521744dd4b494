#include "platform/x11/X11Cursor.h"

#include <xcb/xfixes.h>

#include <algorithm>
#include <cstdint>

#include "platform/x11/XcbHandles.h"

namespace tolm::x11 {

std::string InitCursorQueries(xcb_connection_t* connection) {
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (extension == nullptr || !extension->present) return "The X display has no XFIXES extension to read the cursor.";
    // Version 4 is what this header set speaks; cursor images need 1 or later.
    const XcbReply<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
        connection, xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr));
    if (!version || version->major_version < 1)
        return "The X display's XFIXES extension cannot hand out cursor images.";
    return {};
}

bool ReadCursorImage(xcb_connection_t* connection, CursorImage& cursor, std::string& error) {
    xcb_generic_error_t* rawError = nullptr;
    const XcbReply<xcb_xfixes_get_cursor_image_reply_t> reply(
        xcb_xfixes_get_cursor_image_reply(connection, xcb_xfixes_get_cursor_image(connection), &rawError));
    const XcbError replyError(rawError);
    if (!reply) {
        error = replyError
                    ? "The X server refused the cursor image (error " + std::to_string(replyError->error_code) + ")."
                    : "Lost the connection to the X display.";
        return false;
    }
    const std::size_t pixels = static_cast<std::size_t>(reply->width) * reply->height;
    const int delivered = xcb_xfixes_get_cursor_image_cursor_image_length(reply.get());
    if (delivered < 0 || static_cast<std::size_t>(delivered) < pixels) {
        error = "The X server sent a truncated cursor image.";
        return false;
    }
    const std::uint32_t* argb = xcb_xfixes_get_cursor_image_cursor_image(reply.get());

    cursor.position = Point{reply->x, reply->y};
    cursor.hotspot = Point{reply->xhot, reply->yhot};
    cursor.width = reply->width;
    cursor.height = reply->height;
    cursor.argb.assign(argb, argb + pixels);
    cursor.visible =
        std::any_of(cursor.argb.begin(), cursor.argb.end(), [](std::uint32_t p) { return (p >> 24) != 0; });
    return true;
}

}  // namespace tolm::x11

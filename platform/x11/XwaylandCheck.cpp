#include "platform/x11/XwaylandCheck.h"

#include <xcb/randr.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/x11/XcbHandles.h"

namespace tolm::x11 {
namespace {

constexpr std::string_view kXwayland = "XWAYLAND";

bool HasXwaylandExtension(xcb_connection_t* c) {
    const XcbReply<xcb_query_extension_reply_t> reply(xcb_query_extension_reply(
        c, xcb_query_extension(c, static_cast<std::uint16_t>(kXwayland.size()), kXwayland.data()), nullptr));
    return reply && reply->present;
}

// Xwayland before 23.1 has no extension of its own, but it has always named its outputs so.
bool HasXwaylandOutputs(xcb_connection_t* c, xcb_window_t root) {
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
    if (randr == nullptr || !randr->present) return false;
    const XcbReply<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 3), nullptr));
    if (!version || (version->major_version == 1 && version->minor_version < 3)) return false;
    const XcbReply<xcb_randr_get_screen_resources_current_reply_t> resources(
        xcb_randr_get_screen_resources_current_reply(c, xcb_randr_get_screen_resources_current(c, root), nullptr));
    if (!resources) return false;
    const xcb_randr_output_t* outputs = xcb_randr_get_screen_resources_current_outputs(resources.get());
    const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
    std::vector<xcb_randr_get_output_info_cookie_t> cookies;
    for (int i = 0; i < count; ++i)
        cookies.push_back(xcb_randr_get_output_info(c, outputs[i], resources->config_timestamp));
    bool found = false;
    for (const xcb_randr_get_output_info_cookie_t cookie : cookies) {
        const XcbReply<xcb_randr_get_output_info_reply_t> info(xcb_randr_get_output_info_reply(c, cookie, nullptr));
        if (!info) continue;
        const std::string_view name(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get())),
                                    static_cast<std::size_t>(xcb_randr_get_output_info_name_length(info.get())));
        found = found || name.starts_with(kXwayland);
    }
    return found;
}

// The core protocol refuses GetImage on a window that is not viewable with BadMatch: a rootless Xwayland's root.
bool RootViewable(xcb_connection_t* c, xcb_window_t root) {
    xcb_generic_error_t* raw = nullptr;
    const XcbReply<xcb_get_image_reply_t> pixel(
        xcb_get_image_reply(c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, 0, 0, 1, 1, ~0u), &raw));
    const XcbError error(raw);
    return pixel || !error || error->error_code != XCB_MATCH;
}

}  // namespace

bool IsRootlessXwayland(xcb_connection_t* connection, const xcb_screen_t& screen) {
    if (!HasXwaylandExtension(connection) && !HasXwaylandOutputs(connection, screen.root)) return false;
    return !RootViewable(connection, screen.root);
}

}  // namespace tolm::x11

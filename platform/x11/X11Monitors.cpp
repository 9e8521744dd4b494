#include "platform/x11/X11Monitors.h"

#include <xcb/randr.h>

#include <algorithm>

#include "platform/x11/XcbHandles.h"

namespace tolm::x11 {
namespace {

struct Monitor {
    Rect area;
    bool primary = false;
};

std::vector<Monitor> FromMonitorList(xcb_connection_t* connection, xcb_window_t root) {
    std::vector<Monitor> found;
    const XcbReply<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(connection, xcb_randr_get_monitors(connection, root, 1), nullptr));
    if (!reply) return found;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem; xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t& info = *it.data;
        if (info.width == 0 || info.height == 0) continue;
        found.push_back(Monitor{Rect{info.x, info.y, info.width, info.height}, info.primary != 0});
    }
    return found;
}

xcb_randr_crtc_t PrimaryCrtc(xcb_connection_t* connection, xcb_window_t root, xcb_timestamp_t configTime) {
    const XcbReply<xcb_randr_get_output_primary_reply_t> primary(
        xcb_randr_get_output_primary_reply(connection, xcb_randr_get_output_primary(connection, root), nullptr));
    if (!primary || primary->output == XCB_NONE) return XCB_NONE;
    const XcbReply<xcb_randr_get_output_info_reply_t> output(xcb_randr_get_output_info_reply(
        connection, xcb_randr_get_output_info(connection, primary->output, configTime), nullptr));
    return output ? output->crtc : XCB_NONE;
}

std::vector<Monitor> FromCrtcs(xcb_connection_t* connection, xcb_window_t root) {
    std::vector<Monitor> found;
    const XcbReply<xcb_randr_get_screen_resources_current_reply_t> resources(
        xcb_randr_get_screen_resources_current_reply(
            connection, xcb_randr_get_screen_resources_current(connection, root), nullptr));
    if (!resources) return found;
    const xcb_timestamp_t configTime = resources->config_timestamp;
    const xcb_randr_crtc_t* crtcs = xcb_randr_get_screen_resources_current_crtcs(resources.get());
    const int count = xcb_randr_get_screen_resources_current_crtcs_length(resources.get());

    // All requests first, then the replies: one round trip instead of one per CRTC.
    std::vector<xcb_randr_get_crtc_info_cookie_t> cookies;
    cookies.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) cookies.push_back(xcb_randr_get_crtc_info(connection, crtcs[i], configTime));
    const xcb_randr_crtc_t primary = PrimaryCrtc(connection, root, configTime);
    for (int i = 0; i < count; ++i) {
        const XcbReply<xcb_randr_get_crtc_info_reply_t> crtc(
            xcb_randr_get_crtc_info_reply(connection, cookies[static_cast<std::size_t>(i)], nullptr));
        if (!crtc || crtc->mode == XCB_NONE || crtc->width == 0 || crtc->height == 0) continue;
        found.push_back(Monitor{Rect{crtc->x, crtc->y, crtc->width, crtc->height}, crtcs[i] == primary});
    }
    return found;
}

}  // namespace

RandrSupport InitRandr(xcb_connection_t* connection) {
    RandrSupport support;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_randr_id);
    if (extension == nullptr || !extension->present) return support;
    const XcbReply<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(connection, xcb_randr_query_version(connection, 1, 5), nullptr));
    if (!version) return support;
    const auto atLeast = [&](unsigned major, unsigned minor) {
        return version->major_version > major || (version->major_version == major && version->minor_version >= minor);
    };
    support.monitors = atLeast(1, 5);
    support.crtcs = atLeast(1, 3);
    return support;
}

std::vector<Rect> QueryMonitors(xcb_connection_t* connection, xcb_window_t root, RandrSupport support) {
    std::vector<Monitor> found;
    if (support.monitors) found = FromMonitorList(connection, root);
    if (found.empty() && support.crtcs) found = FromCrtcs(connection, root);

    std::stable_partition(found.begin(), found.end(), [](const Monitor& m) { return m.primary; });
    std::vector<Rect> rects;
    for (const Monitor& m : found) {
        if (std::find(rects.begin(), rects.end(), m.area) == rects.end()) rects.push_back(m.area);
    }
    return rects;
}

}  // namespace tolm::x11

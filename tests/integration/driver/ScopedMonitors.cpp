#include "integration/driver/ScopedMonitors.h"

#include <sys/uio.h>
#include <xcb/randr.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace tolm::testing {
namespace {

struct Connection {
    Connection() : c(xcb_connect(nullptr, nullptr)) {}
    ~Connection() { xcb_disconnect(c); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    bool Ok() const { return xcb_connection_has_error(c) == 0; }
    xcb_window_t Root() const { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }
    xcb_connection_t* c;
};

template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_atom_t MonitorName(xcb_connection_t* c, int index) {
    const std::string name = "TOLM-TEST-" + std::to_string(index);
    const ReplyPtr<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr),
        &std::free);
    return atom ? atom->atom : XCB_NONE;
}

// SetMonitor built by hand: libxcb-randr 1.15's own sends a request of the wrong length.
bool SetMonitor(xcb_connection_t* c, xcb_window_t root, xcb_randr_monitor_info_t info, xcb_randr_output_t output) {
    static const xcb_protocol_request_t request = {4, &xcb_randr_id, XCB_RANDR_SET_MONITOR, 1};
    xcb_randr_set_monitor_request_t head{};
    head.window = root;
    iovec parts[6];
    parts[2] = {&head, sizeof head};
    parts[3] = {nullptr, 0};
    parts[4] = {&info, sizeof info};
    parts[5] = {&output, info.nOutput * sizeof output};
    const xcb_void_cookie_t cookie{xcb_send_request(c, XCB_REQUEST_CHECKED, parts + 2, &request)};
    const ReplyPtr<xcb_generic_error_t> error(xcb_request_check(c, cookie), &std::free);
    return !error && xcb_connection_has_error(c) == 0;
}

}  // namespace

ScopedMonitors::ScopedMonitors(const std::vector<Rect>& monitors) : count_(static_cast<int>(monitors.size())) {
    Connection x;
    if (!x.Ok()) return;
    const ReplyPtr<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(x.c, xcb_randr_query_version(x.c, 1, 5), nullptr), &std::free);
    const ReplyPtr<xcb_randr_get_screen_resources_current_reply_t> resources(
        xcb_randr_get_screen_resources_current_reply(x.c, xcb_randr_get_screen_resources_current(x.c, x.Root()),
                                                     nullptr),
        &std::free);
    if (!version || version->minor_version < 5 || !resources ||
        xcb_randr_get_screen_resources_current_outputs_length(resources.get()) < 1)
        return;
    const xcb_randr_output_t output = xcb_randr_get_screen_resources_current_outputs(resources.get())[0];
    made_ = true;
    for (int i = 0; i < count_; ++i) {
        const Rect& m = monitors[static_cast<std::size_t>(i)];
        xcb_randr_monitor_info_t info{};
        info.name = MonitorName(x.c, i);
        info.primary = i == 0;
        info.nOutput = i == 0 ? 1 : 0;
        info.x = static_cast<std::int16_t>(m.left);
        info.y = static_cast<std::int16_t>(m.top);
        info.width = static_cast<std::uint16_t>(m.width);
        info.height = static_cast<std::uint16_t>(m.height);
        info.width_in_millimeters = static_cast<std::uint32_t>(m.width / 4);
        info.height_in_millimeters = static_cast<std::uint32_t>(m.height / 4);
        made_ = made_ && SetMonitor(x.c, x.Root(), info, output);
    }
}

ScopedMonitors::~ScopedMonitors() {
    Connection x;
    if (!x.Ok()) return;
    for (int i = 0; i < count_; ++i)
        std::free(xcb_request_check(x.c, xcb_randr_delete_monitor_checked(x.c, x.Root(), MonitorName(x.c, i))));
}

}  // namespace tolm::testing

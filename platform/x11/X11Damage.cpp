#include "platform/x11/X11Damage.h"

#include <xcb/damage.h>
#include <xcb/xfixes.h>

#include <utility>

#include "platform/x11/SigPipeGuard.h"
#include "platform/x11/XcbConnect.h"

namespace tolm::x11 {
namespace {

template <class Cookie>
bool Succeeded(xcb_connection_t* c, Cookie cookie) {
    const XcbError error(xcb_request_check(c, cookie));
    return !error;
}

}  // namespace

DamageWatch::DamageWatch(std::string displayName) : displayName_(std::move(displayName)) {}

DamageWatch::~DamageWatch() {
    SigPipeGuard pipeGuard;
    connection_.reset();  // the server drops the damage object and the region with the connection
}

void DamageWatch::Open() {
    std::string error;
    DisplayConnection display = ConnectToDisplay(displayName_, error);
    xcb_connection_t* c = display.connection.get();
    if (!c) return;
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(c, &xcb_damage_id);
    const xcb_query_extension_reply_t* fixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!damage || !damage->present || !fixes || !fixes->present) return;
    // Both extensions must be told the version spoken before they take other requests; regions need XFIXES 2.
    const XcbReply<xcb_damage_query_version_reply_t> damageVersion(xcb_damage_query_version_reply(
        c, xcb_damage_query_version(c, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION), nullptr));
    const XcbReply<xcb_xfixes_query_version_reply_t> fixesVersion(xcb_xfixes_query_version_reply(
        c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr));
    if (!damageVersion || !fixesVersion || fixesVersion->major_version < 2) return;

    const xcb_window_t root = display.screen->root;
    region_ = xcb_generate_id(c);
    damage_ = xcb_generate_id(c);
    // One event each time the damage goes from nothing to something: at most one per question asked.
    const std::uint32_t rootEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY;  // a resized root shows or hides pixels
    if (!Succeeded(c, xcb_xfixes_create_region_checked(c, region_, 0, nullptr)) ||
        !Succeeded(c, xcb_damage_create_checked(c, damage_, root, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY)) ||
        !Succeeded(c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &rootEvents))) {
        return;
    }
    damageEvent_ = static_cast<std::uint8_t>(damage->first_event + XCB_DAMAGE_NOTIFY);
    connection_ = std::move(display.connection);
    // A new damage object starts with the whole root damaged; the first question answers yes anyway. Its report
    // stays queued for the next question, which takes the damage with it: a report read here would be gone with
    // whatever was drawn after this subtraction, and the server reports nothing more until the damage is taken.
    xcb_damage_subtract(c, damage_, XCB_NONE, XCB_NONE);
}

bool DamageWatch::AreaChanged(const Rect& area) {
    SigPipeGuard pipeGuard;
    const std::lock_guard lock(mutex_);
    if (!opened_) {
        opened_ = true;
        Open();
        return true;
    }
    if (!connection_ || xcb_connection_has_error(connection_.get())) return true;
    const Reported reported = ReadReports();
    if (reported == Reported::nothing) return false;
    const bool damaged = TakeDamage(area);
    return reported == Reported::everything || damaged;
}

DamageWatch::Reported DamageWatch::ReadReports() {
    xcb_connection_t* c = connection_.get();
    // After a round trip every event the server sent before answering is queued here: the answer covers all
    // drawing the server did before this question, as a grab now would.
    const XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    Reported reported = sync ? Reported::nothing : Reported::everything;
    while (xcb_generic_event_t* raw = xcb_poll_for_queued_event(c)) {
        const XcbReply<xcb_generic_event_t> event(raw);
        const std::uint8_t type = event->response_type & 0x7F;
        if (type == XCB_CONFIGURE_NOTIFY) reported = Reported::everything;
        if (type == damageEvent_ && reported == Reported::nothing) reported = Reported::damage;
    }
    return reported;
}

bool DamageWatch::TakeDamage(const Rect& area) {
    xcb_connection_t* c = connection_.get();
    xcb_damage_subtract(c, damage_, XCB_NONE, region_);
    const XcbReply<xcb_xfixes_fetch_region_reply_t> parts(
        xcb_xfixes_fetch_region_reply(c, xcb_xfixes_fetch_region(c, region_), nullptr));
    if (!parts) return true;
    const xcb_rectangle_t* rects = xcb_xfixes_fetch_region_rectangles(parts.get());
    const int count = xcb_xfixes_fetch_region_rectangles_length(parts.get());
    for (int i = 0; i < count; ++i) {
        if (!Intersect(Rect{rects[i].x, rects[i].y, rects[i].width, rects[i].height}, area).Empty()) return true;
    }
    return false;
}

}  // namespace tolm::x11

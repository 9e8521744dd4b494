#include "platform/x11/X11ScreenSource.h"

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <utility>

#include "platform/x11/ServerRows.h"
#include "platform/x11/ShmSegment.h"
#include "platform/x11/SigPipeGuard.h"
#include "platform/x11/X11Cursor.h"
#include "platform/x11/X11Damage.h"
#include "platform/x11/X11Monitors.h"
#include "platform/x11/X11RootFormat.h"
#include "platform/x11/XcbConnect.h"
#include "platform/x11/XcbHandles.h"
#include "platform/x11/XwaylandCheck.h"

namespace tolm {

struct X11ScreenSource::State {
    x11::XcbConnection connection;  // first member: closed after the segment is detached
    std::string displayName;
    xcb_window_t root = XCB_NONE;
    x11::RootFormat format;
    std::string cursorProblem;
    x11::CursorWatch cursor;
    x11::RandrSupport randr;

    mutable std::mutex grabMutex;  // guards knownRoot, useShm and segment
    Rect knownRoot;                // the root as last seen; RandR may resize it at any time
    bool useShm = false;
    x11::ShmSegment segment;

    mutable std::mutex errorMutex;
    std::string lastError;
};

namespace {

// Blackens what lies outside `inner`, the part the grab is about to overwrite.
void ClearBorder(const PixelRows& dst, const Rect& inner) {
    if (inner == Rect{0, 0, dst.width, dst.height}) return;
    const std::size_t rowBytes = static_cast<std::size_t>(dst.width) * 4;
    for (int y = 0; y < dst.height; ++y) {
        std::uint8_t* line = dst.Row(y);
        if (y < inner.top || y >= inner.Bottom()) {
            std::memset(line, 0, rowBytes);
            continue;
        }
        std::memset(line, 0, static_cast<std::size_t>(inner.left) * 4);
        const std::size_t right = static_cast<std::size_t>(inner.Right()) * 4;
        std::memset(line + right, 0, rowBytes - right);
    }
}

// The part of `area` on the root: `visible` in root coordinates, `inner` the same pixels in area coordinates.
// Computed wide so that areas near the int limits cannot overflow.
void ClipToRoot(const Rect& area, const Rect& root, Rect& visible, Rect& inner) {
    const std::int64_t left = std::max<std::int64_t>(area.left, root.left);
    const std::int64_t top = std::max<std::int64_t>(area.top, root.top);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{area.left} + area.width, root.Right());
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{area.top} + area.height, root.Bottom());
    if (right <= left || bottom <= top) {
        visible = inner = Rect{};
        return;
    }
    visible = Rect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                   static_cast<int>(bottom - top)};
    inner = Rect{static_cast<int>(left - area.left), static_cast<int>(top - area.top), visible.width, visible.height};
}

std::optional<Rect> QueryRootRect(xcb_connection_t* connection, xcb_window_t root) {
    const x11::XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, root), nullptr));
    if (!geometry) return std::nullopt;
    return Rect{0, 0, geometry->width, geometry->height};
}

bool SharedMemoryDisabledByEnvironment() {
    const char* value = std::getenv("TOLM_X11_NO_SHM");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace

std::unique_ptr<ScreenSource> CreateX11ScreenSource(const std::string& displayName, std::string& error,
                                                    X11GrabMethod method) {
    x11::SigPipeGuard pipeGuard;
    x11::DisplayConnection display = x11::ConnectToDisplay(displayName, error);
    if (!display.connection) return nullptr;
    auto state = std::make_unique<X11ScreenSource::State>();
    const std::string shownName = display.shownName;
    const xcb_screen_t* screen = display.screen;
    state->connection = std::move(display.connection);
    xcb_connection_t* c = state->connection.get();
    const xcb_setup_t* setup = xcb_get_setup(c);
    state->displayName = shownName;
    state->root = screen->root;
    state->knownRoot = Rect{0, 0, screen->width_in_pixels, screen->height_in_pixels};
    state->format = x11::DescribeRootFormat(setup, screen);
    if (x11::IsRootlessXwayland(c, *screen)) {
        error = "The X display " + shownName +
                " is the Xwayland of a Wayland desktop, which keeps no picture of the screen: an X11 grab would "
                "record black. Record this desktop through its ScreenCast portal (--backend portal, or the screen "
                "source \"Wayland portal\" in the options).";
        return nullptr;
    }

    xcb_prefetch_extension_data(c, &xcb_shm_id);
    const bool wantShm = method == X11GrabMethod::Auto && !SharedMemoryDisabledByEnvironment();
    state->cursorProblem = state->cursor.Start(displayName);
    state->randr = x11::InitRandr(c);
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(c, &xcb_shm_id);
    state->useShm = wantShm && shm != nullptr && shm->present;
    if (xcb_connection_has_error(c)) {
        error = "Lost the connection to the X display " + shownName + " while setting up.";
        return nullptr;
    }
    return std::make_unique<X11ScreenSource>(X11ScreenSource::Key{}, std::move(state));
}

X11ScreenSource::X11ScreenSource(Key, std::unique_ptr<State> state)
    : state_(std::move(state)), damage_(std::make_unique<x11::DamageWatch>(state_->displayName)) {}

X11ScreenSource::~X11ScreenSource() {
    x11::SigPipeGuard pipeGuard;
    state_.reset();
}

bool X11ScreenSource::Fail(std::string message) {
    const std::lock_guard lock(state_->errorMutex);
    state_->lastError = std::move(message);
    return false;
}

bool X11ScreenSource::LostConnection() {
    return Fail("Lost the connection to the X display " + state_->displayName + ".");
}

std::string X11ScreenSource::LastError() const {
    const std::lock_guard lock(state_->errorMutex);
    return state_->lastError;
}

bool X11ScreenSource::UsesSharedMemory() const {
    const std::lock_guard lock(state_->grabMutex);
    return state_->useShm;
}

bool X11ScreenSource::Grab(const Rect& area, Bitmap& dst) {
    if (area.Empty()) {
        dst = Bitmap(area.width, area.height, TPixelFormat::pf32bit);
        return true;
    }
    if (dst.PixelFormat() != TPixelFormat::pf32bit || dst.Width() != area.width || dst.Height() != area.height) {
        try {
            dst = Bitmap(area.width, area.height, TPixelFormat::pf32bit);
        } catch (const std::bad_alloc&) {
            return Fail("Not enough memory for a " + std::to_string(area.width) + "x" + std::to_string(area.height) +
                        " image.");
        }
    }
    return GrabInto(area, dst.Rows());
}

bool X11ScreenSource::GrabInto(const Rect& area, const PixelRows& dst) {
    if (area.Empty()) return true;
    if (dst.width != area.width || dst.height != area.height) return Fail("The grab was given rows of another size.");
    x11::SigPipeGuard pipeGuard;
    State& s = *state_;
    xcb_connection_t* c = s.connection.get();
    if (xcb_connection_has_error(c)) return LostConnection();
    if (!s.format.supported) return Fail(s.format.problem);

    if (s.cursorProblem.empty()) s.cursor.PrefetchPosition();
    const std::lock_guard lock(s.grabMutex);
    // The image is read for the root size we know while the current size comes back in the same round trip;
    // the rare grab that finds the root resized is repeated once.
    for (int attempt = 0;; ++attempt) {
        const xcb_get_geometry_cookie_t geometryCookie = xcb_get_geometry(c, s.root);
        Rect visible;
        Rect inner;
        ClipToRoot(area, s.knownRoot, visible, inner);
        ClearBorder(dst, inner);
        const bool read = visible.Empty() || ReadVisible(visible, inner, dst);

        const x11::XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, nullptr));
        if (!geometry) {
            return xcb_connection_has_error(c) ? LostConnection() : Fail("The X server did not tell the screen size.");
        }
        const Rect root{0, 0, geometry->width, geometry->height};
        if (root == s.knownRoot || attempt > 0) {
            s.knownRoot = root;
            return read;
        }
        s.knownRoot = root;
    }
}

bool X11ScreenSource::ReadVisible(const Rect& visible, const Rect& inner, const PixelRows& dst) {
    State& s = *state_;
    if (!s.useShm) return GrabPlain(visible, inner, dst);
    if (GrabShared(visible, inner, dst)) return true;
    if (xcb_connection_has_error(s.connection.get())) return LostConnection();
    // Shared memory failed where a plain request works: stay with plain requests from now on.
    if (!GrabPlain(visible, inner, dst)) return false;
    s.useShm = false;
    s.segment = x11::ShmSegment();
    return true;
}

bool X11ScreenSource::GrabShared(const Rect& visible, const Rect& inner, const PixelRows& dst) {
    State& s = *state_;
    xcb_connection_t* c = s.connection.get();
    const std::size_t stride = s.format.RowBytes(visible.width);
    const std::size_t bytes = stride * static_cast<std::size_t>(visible.height);
    if (s.segment.Size() < bytes) {
        s.segment = x11::ShmSegment();  // the old one goes before a bigger one is made
        std::string problem;
        s.segment = x11::ShmSegment::Create(c, bytes, problem);
        if (!s.segment.Valid()) return false;
    }
    xcb_generic_error_t* rawError = nullptr;
    const x11::XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        c,
        xcb_shm_get_image(c, s.root, static_cast<std::int16_t>(visible.left), static_cast<std::int16_t>(visible.top),
                          static_cast<std::uint16_t>(visible.width), static_cast<std::uint16_t>(visible.height), ~0u,
                          XCB_IMAGE_FORMAT_Z_PIXMAP, s.segment.Id(), 0),
        &rawError));
    const x11::XcbError error(rawError);
    if (!reply || reply->size < bytes) return false;
    x11::CopyServerRows(s.segment.Data(), stride, inner, dst);
    return true;
}

bool X11ScreenSource::GrabPlain(const Rect& visible, const Rect& inner, const PixelRows& dst) {
    State& s = *state_;
    xcb_connection_t* c = s.connection.get();
    xcb_generic_error_t* rawError = nullptr;
    const x11::XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, s.root, static_cast<std::int16_t>(visible.left),
                      static_cast<std::int16_t>(visible.top), static_cast<std::uint16_t>(visible.width),
                      static_cast<std::uint16_t>(visible.height), ~0u),
        &rawError));
    const x11::XcbError error(rawError);
    if (!reply) {
        if (xcb_connection_has_error(c)) return LostConnection();
        return Fail("The X server refused to hand out the screen image (error " +
                    std::to_string(error ? error->error_code : 0) + ").");
    }
    const std::size_t stride = s.format.RowBytes(visible.width);
    const int length = xcb_get_image_data_length(reply.get());
    if (length < 0 || static_cast<std::size_t>(length) < stride * static_cast<std::size_t>(visible.height)) {
        return Fail("The X server sent a truncated screen image.");
    }
    x11::CopyServerRows(xcb_get_image_data(reply.get()), stride, inner, dst);
    return true;
}

bool X11ScreenSource::AreaChanged(const Rect& area) {
    return damage_->AreaChanged(area);
}

bool X11ScreenSource::QueryCursor(CursorImage& cursor) {
    x11::SigPipeGuard pipeGuard;
    xcb_connection_t* c = state_->connection.get();
    if (xcb_connection_has_error(c)) return LostConnection();
    if (!state_->cursorProblem.empty()) return Fail(state_->cursorProblem);
    std::string problem;
    if (state_->cursor.Read(cursor, problem)) return true;
    return xcb_connection_has_error(c) ? LostConnection() : Fail(std::move(problem));
}

std::vector<Rect> X11ScreenSource::Monitors() {
    x11::SigPipeGuard pipeGuard;
    xcb_connection_t* c = state_->connection.get();
    if (!xcb_connection_has_error(c)) {
        std::vector<Rect> monitors = x11::QueryMonitors(c, state_->root, state_->randr);
        if (!monitors.empty()) return monitors;
        if (const std::optional<Rect> root = QueryRootRect(c, state_->root)) return {*root};
    }
    const std::lock_guard lock(state_->grabMutex);
    return {state_->knownRoot};
}

Rect X11ScreenSource::VirtualDesktop() {
    const std::vector<Rect> monitors = Monitors();
    int left = monitors.front().left;
    int top = monitors.front().top;
    int right = monitors.front().Right();
    int bottom = monitors.front().Bottom();
    for (const Rect& m : monitors) {
        left = std::min(left, m.left);
        top = std::min(top, m.top);
        right = std::max(right, m.Right());
        bottom = std::max(bottom, m.Bottom());
    }
    return Rect{left, top, right - left, bottom - top};
}

}  // namespace tolm

// tolm-wl-pointer [--extent WxH] X Y [SECONDS]: gives the test desktop's seat a pointer and holds it at X,Y of
// the output for SECONDS (default: until SIGTERM or SIGINT). A headless compositor has no input device, so its
// seat has no pointer and no cursor is painted into a screen cast; a virtual pointer is such a device for as long
// as its client stays connected. Debian ships no header for that wlroots protocol, so it is declared here.
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>

namespace {

// A request's opcode is its place in the protocol's list.
enum PointerRequest : std::uint32_t {
    kMotion,
    kMotionAbsolute,
    kButton,
    kAxis,
    kFrame,
    kAxisSource,
    kAxisStop,
    kAxisDiscrete,
    kPointerDestroy,
};
enum ManagerRequest : std::uint32_t { kCreate, kManagerDestroy, kCreateWithOutput };
constexpr std::uint32_t kProtocolVersion = 2;

const wl_interface* noTypes[5] = {};
const wl_message pointerRequests[] = {
    {"motion", "uff", noTypes},   {"motion_absolute", "uuuuu", noTypes},
    {"button", "uuu", noTypes},   {"axis", "uuf", noTypes},
    {"frame", "", noTypes},       {"axis_source", "u", noTypes},
    {"axis_stop", "uu", noTypes}, {"axis_discrete", "uufi", noTypes},
    {"destroy", "", noTypes},
};
const wl_interface pointerInterface = {"zwlr_virtual_pointer_v1", kProtocolVersion, 9, pointerRequests, 0, nullptr};

const wl_interface* createTypes[] = {&wl_seat_interface, &pointerInterface};
const wl_interface* createWithOutputTypes[] = {&wl_seat_interface, &wl_output_interface, &pointerInterface};
const wl_message managerRequests[] = {
    {"create_virtual_pointer", "?on", createTypes},
    {"destroy", "", noTypes},
    {"create_virtual_pointer_with_output", "2?o?on", createWithOutputTypes},
};
const wl_interface managerInterface = {
    "zwlr_virtual_pointer_manager_v1", kProtocolVersion, 3, managerRequests, 0, nullptr};

template <typename T, void (*Destroy)(T*)>
struct Deleter {
    void operator()(T* object) const { Destroy(object); }
};
template <typename T, void (*Destroy)(T*)>
using Handle = std::unique_ptr<T, Deleter<T, Destroy>>;

// The compositor drops what a client leaves anyway; flushing lets it see our destroy requests first.
void Disconnect(wl_display* display) {
    wl_display_flush(display);
    wl_display_disconnect(display);
}
void DestroyPointer(wl_proxy* pointer) {
    wl_proxy_marshal_flags(pointer, kPointerDestroy, nullptr, wl_proxy_get_version(pointer), WL_MARSHAL_FLAG_DESTROY);
}
void DestroyManager(wl_proxy* manager) {
    wl_proxy_marshal_flags(manager, kManagerDestroy, nullptr, wl_proxy_get_version(manager), WL_MARSHAL_FLAG_DESTROY);
}
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

struct Extent {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

struct Options {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::optional<double> seconds;  // none: until a signal
    std::optional<Extent> extent;   // none: the output's current mode
};

// Members end in reverse order: the pointer first, the connection last.
struct Session {
    Handle<wl_display, Disconnect> display;
    Handle<wl_registry, wl_registry_destroy> registry;
    Handle<wl_seat, wl_seat_destroy> seat;
    Handle<wl_output, wl_output_destroy> output;
    Handle<wl_proxy, DestroyManager> manager;
    Handle<wl_proxy, DestroyPointer> pointer;
};

struct Globals {
    std::uint32_t seat = 0;
    std::uint32_t output = 0;
    std::uint32_t manager = 0;
    std::uint32_t managerVersion = 0;
};

int Fail(const char* message) {
    std::fprintf(stderr, "tolm-wl-pointer: %s\n", message);
    return 1;
}

// A decimal number that ends where `text` holds `stop`.
bool ParseUnsigned(const char* text, char stop, std::uint32_t& value, const char** rest = nullptr) {
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (end == text || *end != stop || text[0] < '0' || text[0] > '9' || parsed > UINT32_MAX) return false;
    value = static_cast<std::uint32_t>(parsed);
    if (rest != nullptr) *rest = end + 1;
    return true;
}

bool ParseExtent(const char* text, Extent& extent) {
    const char* height = nullptr;
    return ParseUnsigned(text, 'x', extent.width, &height) && ParseUnsigned(height, '\0', extent.height) &&
           extent.width > 0 && extent.height > 0;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    int next = 1;
    if (next + 1 < argc && std::strcmp(argv[next], "--extent") == 0) {
        if (!ParseExtent(argv[next + 1], options.extent.emplace())) return std::nullopt;
        next += 2;
    }
    const int left = argc - next;
    if (left < 2 || left > 3) return std::nullopt;
    if (!ParseUnsigned(argv[next], '\0', options.x) || !ParseUnsigned(argv[next + 1], '\0', options.y))
        return std::nullopt;
    if (left == 3) {
        char* end = nullptr;
        const double seconds = std::strtod(argv[next + 2], &end);
        if (end == argv[next + 2] || *end != '\0' || !std::isfinite(seconds) || seconds < 0) return std::nullopt;
        options.seconds = seconds;
    }
    return options;
}

void OnGlobal(void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t version) {
    auto& globals = *static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals.seat == 0) globals.seat = name;
    if (std::strcmp(interface, wl_output_interface.name) == 0 && globals.output == 0) globals.output = name;
    if (std::strcmp(interface, managerInterface.name) == 0) {
        globals.manager = name;
        globals.managerVersion = version;
    }
}
void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registryListener = {OnGlobal, OnGlobalRemove};

void OnGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, const char*,
                const char*, std::int32_t) {}
// In the output's pixels, whatever its scale: motion_absolute takes X,Y as a share of the extent.
void OnMode(void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height, std::int32_t) {
    if ((flags & WL_OUTPUT_MODE_CURRENT) == 0 || width <= 0 || height <= 0) return;
    *static_cast<Extent*>(data) = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
}
void OnDone(void*, wl_output*) {}
void OnScale(void*, wl_output*, std::int32_t) {}
void OnText(void*, wl_output*, const char*) {}
const wl_output_listener outputListener = {OnGeometry, OnMode, OnDone, OnScale, OnText, OnText};

// Binds what the pointer needs; nullptr and a message on stderr when the compositor lacks some of it.
const char* BindGlobals(Session& session, Extent& outputMode) {
    Globals globals;
    session.registry.reset(wl_display_get_registry(session.display.get()));
    wl_registry_add_listener(session.registry.get(), &registryListener, &globals);
    if (wl_display_roundtrip(session.display.get()) < 0) return "the compositor ended the connection";
    if (globals.manager == 0) return "the compositor offers no virtual pointers (zwlr_virtual_pointer_manager_v1)";
    auto* registry = session.registry.get();
    const std::uint32_t version = std::min(globals.managerVersion, kProtocolVersion);
    session.manager.reset(
        static_cast<wl_proxy*>(wl_registry_bind(registry, globals.manager, &managerInterface, version)));
    // Without a seat the compositor takes its default one.
    if (globals.seat != 0)
        session.seat.reset(static_cast<wl_seat*>(wl_registry_bind(registry, globals.seat, &wl_seat_interface, 1)));
    if (globals.output != 0) {
        session.output.reset(
            static_cast<wl_output*>(wl_registry_bind(registry, globals.output, &wl_output_interface, 1)));
        wl_output_add_listener(session.output.get(), &outputListener, &outputMode);
    }
    if (wl_display_roundtrip(session.display.get()) < 0) return "the compositor ended the connection";
    return nullptr;
}

// Bound to the output where the manager can, so X,Y are that output's even beside others.
void CreatePointer(Session& session) {
    auto* manager = session.manager.get();
    const std::uint32_t version = wl_proxy_get_version(manager);
    if (version >= 2 && session.output)
        session.pointer.reset(wl_proxy_marshal_flags(manager, kCreateWithOutput, &pointerInterface, version, 0,
                                                     session.seat.get(), session.output.get(), nullptr));
    else
        session.pointer.reset(
            wl_proxy_marshal_flags(manager, kCreate, &pointerInterface, version, 0, session.seat.get(), nullptr));
}

std::uint32_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

void MoveTo(Session& session, const Options& options, const Extent& extent) {
    auto* pointer = session.pointer.get();
    const std::uint32_t version = wl_proxy_get_version(pointer);
    wl_proxy_marshal_flags(pointer, kMotionAbsolute, nullptr, version, 0, NowMs(), options.x, options.y, extent.width,
                           extent.height);
    wl_proxy_marshal_flags(pointer, kFrame, nullptr, version, 0);
}

// Serves the connection until a signal comes or the stay ends; false when the connection fails first.
bool Stay(wl_display* display, int signals, std::optional<double> seconds) {
    using Clock = std::chrono::steady_clock;
    const auto end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds.value_or(0)));
    for (;;) {
        int timeout = -1;
        if (seconds) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) return true;
            timeout = static_cast<int>(std::min<long long>(left, 60000));
        }
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) return false;
        }
        wl_display_flush(display);
        pollfd fds[] = {{wl_display_get_fd(display), POLLIN, 0}, {signals, POLLIN, 0}};
        if (poll(fds, 2, timeout) < 0) {
            wl_display_cancel_read(display);
            if (errno == EINTR) continue;  // SIGTERM and SIGINT come through their descriptor, not as interruptions
            return false;
        }
        if (fds[0].revents == 0) {
            wl_display_cancel_read(display);
        } else if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0) {
            return false;
        }
        if (fds[1].revents != 0) return true;
    }
}

// Taken before the connection exists, so a signal never ends the program without its orderly exit.
int BlockTermination() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return -1;
    return signalfd(-1, &set, SFD_CLOEXEC);
}

int Run(const Options& options) {
    const Fd signals(BlockTermination());
    if (signals.get() < 0) return Fail("cannot take SIGTERM and SIGINT");
    Session session;
    session.display.reset(wl_display_connect(nullptr));
    if (!session.display) return Fail("cannot connect to the Wayland display (WAYLAND_DISPLAY)");
    Extent outputMode;
    if (const char* error = BindGlobals(session, outputMode)) return Fail(error);
    const Extent extent = options.extent.value_or(outputMode);
    if (extent.width == 0 || extent.height == 0) return Fail("no output size; name one with --extent WxH");
    if (options.x >= extent.width || options.y >= extent.height) return Fail("X,Y lie outside the output");
    CreatePointer(session);
    MoveTo(session, options, extent);
    if (wl_display_roundtrip(session.display.get()) < 0) return Fail("the compositor refused the pointer");
    std::printf("pointer at %u,%u of %ux%u\n", options.x, options.y, extent.width, extent.height);
    std::fflush(stdout);
    if (!Stay(session.display.get(), signals.get(), options.seconds))
        return Fail("lost the connection to the compositor");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: tolm-wl-pointer [--extent WIDTHxHEIGHT] X Y [SECONDS]\n");
        return 2;
    }
    return Run(*options);
}

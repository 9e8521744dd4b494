// Preloaded (LD_PRELOAD) into xdg-desktop-portal-wlr 0.7 on the test desktop. That version refuses to start a
// screen cast unless the compositor names a DMA-BUF format for its frames, which a compositor without a GPU
// (pixman renderer, as in CI) never does, although the portal would go on to use shared memory anyway. This
// repeats each frame's shared-memory format as its DMA-BUF format; a client that offers no DMA-BUF modifiers,
// like ours, is still served shared memory, with the compositor's real pictures.
#include <dlfcn.h>

#include <cstdint>
#include <cstring>

struct wl_proxy;

extern "C" const char* wl_proxy_get_class(wl_proxy* proxy);

namespace {

using AnyEvent = void (*)(void);
using BufferEvent = void (*)(void*, wl_proxy*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t);
using DmabufEvent = void (*)(void*, wl_proxy*, std::uint32_t, std::uint32_t, std::uint32_t);
using AddListener = int (*)(wl_proxy*, AnyEvent*, void*);

// The events of zwlr_screencopy_frame_v1 in order: buffer, flags, ready, failed, damage, linux_dmabuf,
// buffer_done.
constexpr int kBuffer = 0;
constexpr int kLinuxDmabuf = 5;
constexpr int kEventCount = 7;

const AnyEvent* portalEvents = nullptr;  // the portal's listener, the same for every frame
AnyEvent ourEvents[kEventCount];

// wl_shm numbers its two basic formats 0 and 1; the others are DRM fourcc codes already.
std::uint32_t DrmFormat(std::uint32_t shmFormat) {
    if (shmFormat == 0) return 0x34325241;  // AR24
    if (shmFormat == 1) return 0x34325258;  // XR24
    return shmFormat;
}

void OnBuffer(void* data, wl_proxy* frame, std::uint32_t format, std::uint32_t width, std::uint32_t height,
              std::uint32_t stride) {
    reinterpret_cast<BufferEvent>(portalEvents[kBuffer])(data, frame, format, width, height, stride);
    if (portalEvents[kLinuxDmabuf] != nullptr) {
        reinterpret_cast<DmabufEvent>(portalEvents[kLinuxDmabuf])(data, frame, DrmFormat(format), width, height);
    }
}

}  // namespace

extern "C" int wl_proxy_add_listener(wl_proxy* proxy, AnyEvent* implementation, void* data) {
    static const auto real = reinterpret_cast<AddListener>(dlsym(RTLD_NEXT, "wl_proxy_add_listener"));
    if (std::strcmp(wl_proxy_get_class(proxy), "zwlr_screencopy_frame_v1") != 0) {
        return real(proxy, implementation, data);
    }
    if (portalEvents != implementation) {
        portalEvents = implementation;
        std::memcpy(ourEvents, implementation, sizeof(ourEvents));
        ourEvents[kBuffer] = reinterpret_cast<AnyEvent>(OnBuffer);
    }
    return real(proxy, ourEvents, data);
}

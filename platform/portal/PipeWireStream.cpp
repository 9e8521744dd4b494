#include "platform/portal/PipeWireStream.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/format-utils.h>
#include <spa/param/video/format-utils.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/CDeleter.h"
#include "platform/portal/PixelLayouts.h"
#include "platform/portal/PointerMetadata.h"
#include "platform/portal/StreamParams.h"

namespace tolm::portal {

namespace {

using ThreadLoop = std::unique_ptr<pw_thread_loop, CDeleter<&pw_thread_loop_destroy>>;
using Context = std::unique_ptr<pw_context, CDeleter<&pw_context_destroy>>;
using Core = std::unique_ptr<pw_core, CDeleter<&pw_core_disconnect>>;
using Stream = std::unique_ptr<pw_stream, CDeleter<&pw_stream_destroy>>;

void DestroyRegistry(pw_registry* registry) {
    pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
}
using Registry = std::unique_ptr<pw_registry, CDeleter<&DestroyRegistry>>;

constexpr std::size_t kParamBytes = 1024;

// Holds the thread loop's lock for a scope, so the loop's thread does not run callbacks meanwhile.
class LoopLock {
  public:
    explicit LoopLock(pw_thread_loop* loop) : loop_(loop) { pw_thread_loop_lock(loop_); }
    ~LoopLock() { pw_thread_loop_unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

  private:
    pw_thread_loop* loop_;
};

}  // namespace

struct PipeWireStream::Parts {
    FrameStore* store = nullptr;
    bool pointerMetadata = false;
    ThreadLoop loop;  // declared first: the others go before it
    Context context;
    Core core;
    Registry registry;
    Stream stream;
    std::uint32_t node = 0;
    spa_hook coreListener{};
    spa_hook registryListener{};
    spa_hook streamListener{};
    // Touched on the loop's thread only.
    std::optional<ByteOrder> order;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> spare;  // the next picture is converted here, then swapped into the store
};

namespace {

using Parts = PipeWireStream::Parts;

void OnStateChanged(void* data, pw_stream_state old, pw_stream_state state, const char* error) {
    auto* parts = static_cast<Parts*>(data);
    if (state == PW_STREAM_STATE_ERROR) {
        parts->store->End(std::string("The desktop's screen sharing ended: ") + (error ? error : "stream error") + ".");
    } else if (state == PW_STREAM_STATE_UNCONNECTED && old != PW_STREAM_STATE_UNCONNECTED) {
        parts->store->End("The desktop's screen sharing ended.");
    }
}

void OnCoreError(void* data, std::uint32_t id, int /*seq*/, int result, const char* message) {
    if (id != PW_ID_CORE) return;
    static_cast<Parts*>(data)->store->End(std::string("The desktop's screen sharing ended: ") +
                                          (message ? message : std::strerror(-result)) + ".");
}

// A desktop that stops sharing removes the node; our stream merely pauses then, so this is what tells.
void OnGlobalRemoved(void* data, std::uint32_t id) {
    auto* parts = static_cast<Parts*>(data);
    if (id == parts->node) parts->store->End("The desktop's screen sharing ended.");
}

void OnParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
    auto* parts = static_cast<Parts*>(data);
    if (param == nullptr || id != SPA_PARAM_Format) return;
    std::uint32_t mediaType = 0;
    std::uint32_t mediaSubtype = 0;
    spa_video_info_raw info{};
    if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video ||
        mediaSubtype != SPA_MEDIA_SUBTYPE_raw || spa_format_video_raw_parse(param, &info) < 0) {
        return;
    }
    parts->order = ByteOrderOf(info.format);
    parts->width = static_cast<int>(info.size.width);
    parts->height = static_cast<int>(info.size.height);
    if (!parts->order) {
        parts->store->End("The desktop's screen sharing chose a pixel format this program cannot read.");
        return;
    }
    parts->store->SetNegotiatedSize(parts->width, parts->height);
    std::uint8_t buffer[kParamBytes];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    const spa_pod* params[3];
    const int count = BuildBufferParams(&builder, parts->pointerMetadata, params);
    pw_stream_update_params(parts->stream.get(), params, static_cast<std::uint32_t>(count));
}

// Converts the picture of `buffer` into the store; a corrupted, empty or too small one brings no new picture.
void TakePicture(Parts& parts, const spa_buffer* buffer) {
    const int width = parts.width;
    const int height = parts.height;
    if (!parts.order || width <= 0 || height <= 0 || buffer->n_datas < 1) return;
    const auto* header = static_cast<const spa_meta_header*>(
        spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)));
    if (header != nullptr && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED) != 0) return;
    const spa_data& data = buffer->datas[0];
    if (data.data == nullptr || data.chunk == nullptr || data.chunk->size == 0 ||
        (data.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) != 0) {
        return;
    }
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(width) * 4;
    const std::int64_t stride = data.chunk->stride != 0 ? data.chunk->stride : static_cast<std::int64_t>(rowBytes);
    if (stride < static_cast<std::int64_t>(rowBytes)) return;
    const std::uint64_t offset = data.chunk->offset;
    if (offset + static_cast<std::uint64_t>(stride) * (height - 1) + rowBytes > data.maxsize) return;
    const auto* pixels = static_cast<const std::uint8_t*>(data.data) + offset;
    parts.spare.resize(rowBytes * height);
    for (int y = 0; y < height; ++y) {
        ConvertRow(pixels + static_cast<std::size_t>(stride) * y, parts.spare.data() + rowBytes * y, width,
                   *parts.order);
    }
    parts.store->Publish(parts.spare, width, height);
}

// Only the newest waiting buffer's picture is wanted; the pointer is read from every one, since its image
// comes only with the buffer in which it changed.
void OnProcess(void* data) {
    auto* parts = static_cast<Parts*>(data);
    pw_stream* stream = parts->stream.get();
    pw_buffer* newest = nullptr;
    while (pw_buffer* next = pw_stream_dequeue_buffer(stream)) {
        PointerUpdate pointer;
        if (parts->pointerMetadata && ReadPointerMetadata(next->buffer, pointer)) parts->store->UpdatePointer(pointer);
        if (newest != nullptr) pw_stream_queue_buffer(stream, newest);
        newest = next;
    }
    if (newest == nullptr) return;
    TakePicture(*parts, newest->buffer);
    pw_stream_queue_buffer(stream, newest);
}

const pw_stream_events kStreamEvents = {
    .version = PW_VERSION_STREAM_EVENTS,
    .state_changed = OnStateChanged,
    .param_changed = OnParamChanged,
    .process = OnProcess,
};

const pw_registry_events kRegistryEvents = {
    .version = PW_VERSION_REGISTRY_EVENTS,
    .global_remove = OnGlobalRemoved,
};

const pw_core_events kCoreEvents = {
    .version = PW_VERSION_CORE_EVENTS,
    .error = OnCoreError,
};

// With the loop's lock held: the core over `fd` and the stream to `node`.
bool Connect(Parts& parts, int fd, std::uint32_t node, std::string& error) {
    parts.core.reset(pw_context_connect_fd(parts.context.get(), fd, nullptr, 0));
    if (!parts.core) {
        error = std::string("Could not reach the desktop's PipeWire: ") + std::strerror(errno) + ".";
        return false;
    }
    pw_core_add_listener(parts.core.get(), &parts.coreListener, &kCoreEvents, &parts);
    parts.node = node;
    parts.registry.reset(pw_core_get_registry(parts.core.get(), PW_VERSION_REGISTRY, 0));
    if (parts.registry)
        pw_registry_add_listener(parts.registry.get(), &parts.registryListener, &kRegistryEvents, &parts);
    parts.stream.reset(pw_stream_new(parts.core.get(), "tolm-screen-capture",
                                     pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                                       PW_KEY_MEDIA_ROLE, "Screen", nullptr)));
    if (!parts.stream) {
        error = std::string("Could not make a PipeWire stream: ") + std::strerror(errno) + ".";
        return false;
    }
    pw_stream_add_listener(parts.stream.get(), &parts.streamListener, &kStreamEvents, &parts);
    std::uint8_t buffer[kParamBytes];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    const spa_pod* params[1] = {BuildFormatParam(&builder)};
    const int result = pw_stream_connect(
        parts.stream.get(), PW_DIRECTION_INPUT, node,
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS), params, 1);
    if (result < 0) {
        error = std::string("Could not connect to the desktop's screen stream: ") + std::strerror(-result) + ".";
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<PipeWireStream> PipeWireStream::Open(int fd, std::uint32_t node, bool pointerMetadata,
                                                     FrameStore& store, std::string& error) {
    pw_init(nullptr, nullptr);
    auto parts = std::make_unique<Parts>();
    parts->store = &store;
    parts->pointerMetadata = pointerMetadata;
    parts->loop.reset(pw_thread_loop_new("tolm-screen", nullptr));
    if (parts->loop) parts->context.reset(pw_context_new(pw_thread_loop_get_loop(parts->loop.get()), nullptr, 0));
    if (!parts->context || pw_thread_loop_start(parts->loop.get()) < 0) {
        close(fd);
        error = "Could not start PipeWire in this program.";
        return nullptr;
    }
    pw_thread_loop* loop = parts->loop.get();
    auto stream = std::make_unique<PipeWireStream>(std::move(parts));  // from here on its end stops the loop
    const LoopLock lock(loop);
    if (!Connect(*stream->parts_, fd, node, error)) return nullptr;
    return stream;
}

PipeWireStream::PipeWireStream(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

PipeWireStream::~PipeWireStream() {
    // The loop's thread ends first, so no callback runs while the stream, core and context go.
    pw_thread_loop_stop(parts_->loop.get());
    parts_->stream.reset();
    parts_->registry.reset();
    if (parts_->core) spa_hook_remove(&parts_->coreListener);
    parts_->core.reset();
    parts_->context.reset();
    parts_->loop.reset();
}

}  // namespace tolm::portal

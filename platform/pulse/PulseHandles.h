#pragma once

// Owners of the libpulse handles the PulseAudio backend keeps. Private to platform/pulse.

#include <pulse/pulseaudio.h>

#include <memory>

#include "platform/CDeleter.h"

namespace tolm::pulse {

using PaMainloopPtr = std::unique_ptr<pa_threaded_mainloop, CDeleter<&pa_threaded_mainloop_free>>;
using PaContextPtr = std::unique_ptr<pa_context, CDeleter<&pa_context_unref>>;
using PaStreamPtr = std::unique_ptr<pa_stream, CDeleter<&pa_stream_unref>>;
using PaOperationPtr = std::unique_ptr<pa_operation, CDeleter<&pa_operation_unref>>;

// Main loop events are released through the loop's own table; free them with the loop locked or stopped.
struct PaTimeEventFree {
    pa_mainloop_api* api = nullptr;
    void operator()(pa_time_event* e) const noexcept {
        if (e && api) api->time_free(e);
    }
};
struct PaDeferEventFree {
    pa_mainloop_api* api = nullptr;
    void operator()(pa_defer_event* e) const noexcept {
        if (e && api) api->defer_free(e);
    }
};

using PaTimeEventPtr = std::unique_ptr<pa_time_event, PaTimeEventFree>;
using PaDeferEventPtr = std::unique_ptr<pa_defer_event, PaDeferEventFree>;

}  // namespace tolm::pulse

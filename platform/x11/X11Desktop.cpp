#include "platform/x11/X11Desktop.h"

#include <xcb/xcb.h>

#include <atomic>
#include <thread>
#include <utility>

#include "platform/ThreadPriority.h"
#include "platform/x11/SigPipeGuard.h"
#include "platform/x11/X11DesktopCore.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11OverlayWindow.h"
#include "platform/x11/X11Resources.h"
#include "platform/x11/X11WindowLocator.h"
#include "platform/x11/XcbHandles.h"

namespace tolm {

struct X11Desktop::State {
    std::shared_ptr<x11::DesktopCore> core;  // first member: the connection outlives what is made on it
    MainThread* mainThread = nullptr;
    x11::XcbWindow wakeWindow;            // unmapped and InputOnly: the stop message to the event thread goes here
    std::shared_ptr<X11HotKeys> hotKeys;  // shared so that posted key presses can tell it has gone
    std::unique_ptr<X11WindowLocator> locator;
    std::atomic<bool> stopping{false};
    std::thread events;
};

std::unique_ptr<X11Desktop> X11Desktop::Create(const std::string& display, MainThread& mainThread, std::string& error) {
    std::shared_ptr<x11::DesktopCore> core = x11::DesktopCore::Connect(display, error);
    if (!core) return nullptr;
    x11::SigPipeGuard pipeGuard;
    xcb_connection_t* c = core->Connection();

    auto state = std::make_unique<State>();
    state->core = core;
    state->mainThread = &mainThread;
    const xcb_window_t wake = xcb_generate_id(c);
    xcb_create_window(c, 0, wake, core->Root(), -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0,
                      nullptr);
    state->wakeWindow = x11::XcbWindow(c, wake);
    state->hotKeys = std::make_shared<X11HotKeys>(core);
    state->locator = std::make_unique<X11WindowLocator>(core);
    xcb_flush(c);
    if (core->Lost()) {
        error = "Lost the connection to the X display " + core->DisplayName() + " while setting up.";
        return nullptr;
    }

    auto desktop = std::make_unique<X11Desktop>(Key{}, std::move(state));
    desktop->state_->events = std::thread([self = desktop.get()] { self->RunEvents(); });
    return desktop;
}

X11Desktop::X11Desktop(Key, std::unique_ptr<State> state) : state_(std::move(state)) {}

X11Desktop::~X11Desktop() {
    State& s = *state_;
    xcb_connection_t* c = s.core->Connection();
    x11::SigPipeGuard pipeGuard;
    s.stopping = true;
    if (!s.core->Lost()) {
        // Sent to a window of ours with an empty event mask, the event comes back to this connection alone.
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = s.wakeWindow.Id();
        xcb_send_event(c, 0, s.wakeWindow.Id(), XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
        xcb_flush(c);
    }
    // A lost connection ends the wait by itself.
    if (s.events.joinable()) s.events.join();

    s.locator.reset();
    s.hotKeys.reset();  // unless a key press being handled right now still holds it
    s.wakeWindow.Reset();
    if (!s.core->Lost()) xcb_flush(c);
}

void X11Desktop::RunEvents() {
    SetCurrentThreadName("tolm-x11-events");
    State& s = *state_;
    xcb_connection_t* c = s.core->Connection();
    const std::weak_ptr<x11::DesktopCore> core = s.core;
    const std::weak_ptr<X11HotKeys> hotKeys = s.hotKeys;
    while (true) {
        const x11::XcbReply<xcb_generic_event_t> event(xcb_wait_for_event(c));
        if (!event) return;  // the connection is gone
        switch (event->response_type & 0x7F) {
            case XCB_EXPOSE: {
                const auto* expose = reinterpret_cast<const xcb_expose_event_t*>(event.get());
                // One repaint for a whole series of exposures, and one for all windows marked meanwhile.
                if (expose->count == 0 && s.core->MarkDamaged(expose->window)) {
                    s.mainThread->Post([core] {
                        if (const auto alive = core.lock()) alive->RepaintDamaged();
                    });
                }
                break;
            }
            case XCB_KEY_PRESS: {
                const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
                s.mainThread->Post([hotKeys, keycode = press->detail, state = press->state] {
                    if (const auto alive = hotKeys.lock()) alive->KeyPressed(keycode, state);
                });
                break;
            }
            case XCB_MAPPING_NOTIFY: {
                const auto* mapping = reinterpret_cast<const xcb_mapping_notify_event_t*>(event.get());
                if (mapping->request == XCB_MAPPING_POINTER) break;
                s.mainThread->Post([hotKeys] {
                    if (const auto alive = hotKeys.lock()) alive->MappingChanged();
                });
                break;
            }
            case XCB_CLIENT_MESSAGE: {
                const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
                if (message->window == s.wakeWindow.Id() && s.stopping) return;
                break;
            }
            default:
                // Errors of requests whose outcome does not matter (an unchecked request on a window that
                // has just gone) and events nobody asked for.
                break;
        }
    }
}

std::unique_ptr<OverlayWindow> X11Desktop::CreateOverlayWindow() {
    return std::make_unique<X11OverlayWindow>(state_->core);
}

WindowLocator& X11Desktop::Locator() {
    return *state_->locator;
}

GlobalHotKeys& X11Desktop::HotKeys() {
    return *state_->hotKeys;
}

bool X11Desktop::ConnectionLost() const {
    return state_->core->Lost();
}

}  // namespace tolm

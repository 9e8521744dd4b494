#pragma once

#include <memory>
#include <string>

#include "platform/HotKeys.h"
#include "platform/MainThread.h"
#include "platform/OverlayWindow.h"
#include "platform/WindowLocator.h"

namespace tolm {

// The desktop services of an X display that the area frame, the object picker and the recorder's keys need:
// overlay windows, window lookup and global keys, all on one connection of their own. A thread of its own
// waits for the server's events and hands what they ask for (repaints, key presses) to the main thread.
// Created, used and destroyed on the main thread, which must outlive it. After the connection is lost every
// service fails quietly: windows draw nothing, lookups fail, keys do nothing.
class X11Desktop {
    struct State;
    struct Key {  // only Create constructs
        explicit Key() = default;
    };

  public:
    // Opens `display` (empty: $DISPLAY). Null with `error` set when it cannot be opened or lacks what the
    // overlay windows need (the SHAPE extension, the core font "fixed").
    static std::unique_ptr<X11Desktop> Create(const std::string& display, MainThread& mainThread, std::string& error);

    X11Desktop(Key, std::unique_ptr<State> state);
    // Stops the event thread; work it posted and the main thread has not run yet then does nothing.
    // Windows made here may outlive the desktop (they keep the connection) but are no longer repainted.
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    std::unique_ptr<OverlayWindow> CreateOverlayWindow();
    WindowLocator& Locator();
    GlobalHotKeys& HotKeys();

    bool ConnectionLost() const;

  private:
    void RunEvents();

    std::unique_ptr<State> state_;
};

}  // namespace tolm

#pragma once

#include <memory>
#include <string>

#include "platform/ScreenSource.h"

namespace tolm {

namespace x11 {
class DamageWatch;
}

// How the X11 source reads pixels. Auto shares memory with the server (MIT-SHM) when it can and falls back
// to plain GetImage otherwise; the environment variable TOLM_X11_NO_SHM=1 turns Auto into GetImage.
enum class X11GrabMethod { Auto = 1, GetImage = 2 };

// Opens the X display `displayName` (empty: $DISPLAY). Null with `error` set when it cannot be opened.
std::unique_ptr<ScreenSource> CreateX11ScreenSource(const std::string& displayName, std::string& error,
                                                    X11GrabMethod method = X11GrabMethod::Auto);

// The screen of an X display: its root window is the virtual desktop, monitors come from RandR, the cursor
// from XFIXES. Thread-safe; after the connection is lost every call fails (Monitors() reports the last
// known screen) and nothing crashes.
class X11ScreenSource final : public ScreenSource {
    struct State;  // the XCB connection and everything learnt about the screen
    struct Key {   // only the factory constructs
        explicit Key() = default;
    };

  public:
    X11ScreenSource(Key, std::unique_ptr<State> state);
    ~X11ScreenSource() override;
    X11ScreenSource(const X11ScreenSource&) = delete;
    X11ScreenSource& operator=(const X11ScreenSource&) = delete;

    bool Grab(const Rect& area, Bitmap& dst) override;
    // From the server's DAMAGE extension.
    bool AreaChanged(const Rect& area) override;
    bool GrabInto(const Rect& area, const PixelRows& dst) override;
    bool QueryCursor(CursorImage& cursor) override;
    std::vector<Rect> Monitors() override;
    Rect VirtualDesktop() override;
    std::string LastError() const override;

    // True while grabs go through shared memory: the server offers MIT-SHM, it was not turned off, and it
    // has not failed yet.
    bool UsesSharedMemory() const;

  private:
    bool Fail(std::string message);
    bool LostConnection();
    bool ReadVisible(const Rect& visible, const Rect& inner, const PixelRows& dst);  // with the grab lock held
    bool GrabShared(const Rect& visible, const Rect& inner, const PixelRows& dst);
    bool GrabPlain(const Rect& visible, const Rect& inner, const PixelRows& dst);

    friend std::unique_ptr<ScreenSource> CreateX11ScreenSource(const std::string&, std::string&, X11GrabMethod);

    std::unique_ptr<State> state_;
    std::unique_ptr<x11::DamageWatch> damage_;
};

}  // namespace tolm

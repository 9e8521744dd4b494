#pragma once

#include <cstdint>
#include <functional>

namespace tolm {

// The recorder's four system-wide keys.
enum class HotKey : std::uint8_t {
    ShiftEscape = 1,  // stop and save
    Escape = 2,       // cancel
    CtrlReturn = 3,   // end the recording, or accept the picked object
    Pause = 4,        // pause or resume
};

// Keys that reach the recorder whichever window has the keyboard focus.
class GlobalHotKeys {
  public:
    virtual ~GlobalHotKeys() = default;

    // Presses of registered keys reach `handler` on the main thread.
    virtual void SetHandler(std::function<void(HotKey)> handler) = 0;
    // False when the key cannot be had (another program holds it); the key then does nothing.
    virtual bool Register(HotKey key) = 0;
    virtual void Unregister(HotKey key) = 0;
};

}  // namespace tolm

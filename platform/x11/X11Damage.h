#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "imaging/Geometry.h"
#include "platform/x11/XcbHandles.h"

namespace tolm::x11 {

// Where the screen of an X display changed, from the server's DAMAGE extension. The watch has a connection of
// its own, opened at the first question: its events reach no other part's event queue, and a program that
// never asks pays nothing. Thread-safe.
class DamageWatch {
  public:
    explicit DamageWatch(std::string displayName);
    ~DamageWatch();
    DamageWatch(const DamageWatch&) = delete;
    DamageWatch& operator=(const DamageWatch&) = delete;

    // Whether `area` (root coordinates) may have changed since the previous call: true at the first call, and
    // whenever the server cannot tell (no DAMAGE extension, a lost connection).
    bool AreaChanged(const Rect& area);

  private:
    enum class Reported { nothing, damage, everything };

    void Open();  // with the lock held
    // Reads what the server reported since the last call.
    Reported ReadReports();
    // Takes the damage collected so far, so the server reports afresh; whether any of it meets `area`.
    bool TakeDamage(const Rect& area);

    std::mutex mutex_;
    const std::string displayName_;
    bool opened_ = false;
    XcbConnection connection_;  // null when the display cannot tell
    std::uint32_t damage_ = 0;
    std::uint32_t region_ = 0;
    std::uint8_t damageEvent_ = 0;
};

}  // namespace tolm::x11

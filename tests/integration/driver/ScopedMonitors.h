#pragma once

// Monitors of the display in $DISPLAY as a desktop with several of them has: RandR monitors laid over its one
// screen for the length of a test.
#include <vector>

#include "imaging/Geometry.h"

namespace tolm::testing {

class ScopedMonitors {
  public:
    // The first monitor is the primary one and takes the screen's output, so the screen's own monitor goes
    // until the end of the scope.
    explicit ScopedMonitors(const std::vector<Rect>& monitors);
    ~ScopedMonitors();
    ScopedMonitors(const ScopedMonitors&) = delete;
    ScopedMonitors& operator=(const ScopedMonitors&) = delete;

    // Whether the server took them all.
    bool Made() const { return made_; }

  private:
    int count_ = 0;
    bool made_ = false;
};

}  // namespace tolm::testing

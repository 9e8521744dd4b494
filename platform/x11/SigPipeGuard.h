#pragma once

#include <signal.h>

namespace tolm::x11 {

// Keeps a write to a dead X server from killing the process: while alive, SIGPIPE is blocked on the calling
// thread, and one raised meanwhile is discarded on the way out. Nesting is harmless. Wrap every call into
// XCB that may write to the connection.
class SigPipeGuard {
  public:
    SigPipeGuard() noexcept;
    ~SigPipeGuard();

    SigPipeGuard(const SigPipeGuard&) = delete;
    SigPipeGuard& operator=(const SigPipeGuard&) = delete;

  private:
    sigset_t previousMask_{};
    bool active_ = false;      // false when SIGPIPE was already blocked: an outer owner restores it
    bool wasPending_ = false;  // a SIGPIPE pending before us is not ours to discard
};

}  // namespace tolm::x11

#include "platform/x11/SigPipeGuard.h"

#include <pthread.h>

#include <ctime>

namespace tolm::x11 {
namespace {

sigset_t PipeSet() noexcept {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    return set;
}

bool PipePending() noexcept {
    sigset_t pending;
    sigemptyset(&pending);
    return sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
}

}  // namespace

SigPipeGuard::SigPipeGuard() noexcept {
    const sigset_t pipe = PipeSet();
    if (pthread_sigmask(SIG_BLOCK, &pipe, &previousMask_) != 0) return;
    active_ = sigismember(&previousMask_, SIGPIPE) != 1;
    if (active_) wasPending_ = PipePending();
}

SigPipeGuard::~SigPipeGuard() {
    if (!active_) return;
    if (!wasPending_ && PipePending()) {
        const sigset_t pipe = PipeSet();
        const timespec noWait{};
        sigtimedwait(&pipe, nullptr, &noWait);
    }
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

}  // namespace tolm::x11

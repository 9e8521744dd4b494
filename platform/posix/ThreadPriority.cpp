#include "platform/ThreadPriority.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tolm {
namespace {

// Linux schedules every thread of the normal policy by its own nice value (-20..19). The seven steps
// spread over that range symmetrically round 0, the nice value a thread starts with, leaving the extremes
// (-20 and the real-time policies) alone: going beyond -15 buys nothing for a recorder and starves the desktop.
int NiceValue(TThreadPriority priority, bool& known) {
    known = true;
    switch (priority) {
        case TThreadPriority::tpIdle:
            return 19;
        case TThreadPriority::tpLowest:
            return 10;
        case TThreadPriority::tpLower:
            return 5;
        case TThreadPriority::tpNormal:
            return 0;
        case TThreadPriority::tpHigher:
            return -5;
        case TThreadPriority::tpHighest:
            return -10;
        case TThreadPriority::tpTimeCritical:
            return -15;
    }
    known = false;
    return 0;
}

}  // namespace

SystemThreadId CurrentSystemThreadId() {
    return static_cast<SystemThreadId>(::gettid());
}

bool SetThreadPriority(SystemThreadId thread, TThreadPriority priority) {
    bool known = false;
    const int nice = NiceValue(priority, known);
    if (!known || thread <= 0) return false;
    // On Linux PRIO_PROCESS with a thread id addresses that one thread. A refusal (EPERM, EACCES: lowering the
    // nice value needs CAP_SYS_NICE or RLIMIT_NICE) or a thread that has gone (ESRCH) changes nothing.
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread), nice) == 0;
}

void SetCurrentThreadName(const char* name) {
    if (name == nullptr) return;
    char kept[16] = {};  // the kernel keeps 15 characters and the terminator
    std::strncpy(kept, name, sizeof kept - 1);
    ::pthread_setname_np(::pthread_self(), kept);
}

}  // namespace tolm

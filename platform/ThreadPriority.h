#pragma once

#include <cstdint>

namespace tolm {

// The toolkit's thread priorities with their documented ordinals.
enum class TThreadPriority : std::uint8_t {
    tpIdle = 0,
    tpLowest = 1,
    tpLower = 2,
    tpNormal = 3,
    tpHigher = 4,
    tpHighest = 5,
    tpTimeCritical = 6,
};

// The system's identity of a thread, valid while the thread runs.
using SystemThreadId = long;
SystemThreadId CurrentSystemThreadId();

// Gives a running thread the priority, as far as the system allows this process (raising a priority above
// normal usually needs a privilege; without it the thread keeps its priority). Returns whether the system
// took the requested priority.
bool SetThreadPriority(SystemThreadId thread, TThreadPriority priority);

// Names the calling thread for debuggers and stack dumps (at most 15 characters are kept).
void SetCurrentThreadName(const char* name);

}  // namespace tolm

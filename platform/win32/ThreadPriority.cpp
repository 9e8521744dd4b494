#include "platform/ThreadPriority.h"

#include <cstring>
#include <string>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Handles.h"

namespace tolm {
namespace {

// The seven steps are Windows' own thread priorities within the process's priority class.
bool LevelOf(TThreadPriority priority, int& level) {
    switch (priority) {
        case TThreadPriority::tpIdle:
            level = THREAD_PRIORITY_IDLE;
            return true;
        case TThreadPriority::tpLowest:
            level = THREAD_PRIORITY_LOWEST;
            return true;
        case TThreadPriority::tpLower:
            level = THREAD_PRIORITY_BELOW_NORMAL;
            return true;
        case TThreadPriority::tpNormal:
            level = THREAD_PRIORITY_NORMAL;
            return true;
        case TThreadPriority::tpHigher:
            level = THREAD_PRIORITY_ABOVE_NORMAL;
            return true;
        case TThreadPriority::tpHighest:
            level = THREAD_PRIORITY_HIGHEST;
            return true;
        case TThreadPriority::tpTimeCritical:
            level = THREAD_PRIORITY_TIME_CRITICAL;
            return true;
    }
    return false;
}

using SetDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);

// Thread names came with Windows 10 (1607); older systems go without.
SetDescriptionFn SetDescription() {
    static const SetDescriptionFn function = [] {
        const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        const FARPROC found = kernel ? ::GetProcAddress(kernel, "SetThreadDescription") : nullptr;
        return reinterpret_cast<SetDescriptionFn>(reinterpret_cast<void (*)()>(found));
    }();
    return function;
}

}  // namespace

SystemThreadId CurrentSystemThreadId() {
    return static_cast<SystemThreadId>(::GetCurrentThreadId());
}

bool SetThreadPriority(SystemThreadId thread, TThreadPriority priority) {
    int level = 0;
    if (!LevelOf(priority, level) || thread <= 0) return false;
    const UniqueHandle handle(
        ::OpenThread(THREAD_SET_INFORMATION | THREAD_QUERY_INFORMATION, FALSE, static_cast<DWORD>(thread)));
    return handle && ::SetThreadPriority(handle.get(), level) && ::GetThreadPriority(handle.get()) == level;
}

void SetCurrentThreadName(const char* name) {
    if (name == nullptr) return;
    if (const SetDescriptionFn set = SetDescription())
        set(::GetCurrentThread(), ToWide(std::string(name, ::strnlen(name, 15))).c_str());
}

}  // namespace tolm

#include "platform/Console.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <condition_variable>
#include <mutex>

#include "platform/CDeleter.h"
#include "platform/win32/WideText.h"

namespace tolm {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    ::SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    const std::unique_ptr<wchar_t*, CDeleter<&::LocalFree>> wide(::CommandLineToArgvW(::GetCommandLineW(), &count));
    if (!wide) return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(ToUtf8(wide.get()[i]));
    return arguments;
}

// The console's handler runs on a thread Windows starts for each event. The watcher's state outlives every
// such thread: it is the one the handler knows, made once, and only switched off by the watcher's end.
struct InterruptWatcher::State {
    std::mutex mutex;
    std::condition_variable ended;
    std::function<void(int)> onInterrupt;  // empty while no watcher lives
    int count = 0;

    static State& Only() {
        static State state;
        return state;
    }

    static BOOL WINAPI OnConsoleEvent(DWORD event) {
        State& state = Only();
        std::unique_lock lock(state.mutex);
        if (!state.onInterrupt) return FALSE;  // the system's own handling: the program ends
        state.onInterrupt(++state.count);
        // Windows ends the program as soon as a close, logoff or shutdown handler returns.
        if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
            state.ended.wait(lock, [&] { return !state.onInterrupt; });
        return TRUE;
    }
};

InterruptWatcher::InterruptWatcher(std::function<void(int count)> onInterrupt) {
    State& state = State::Only();
    {
        std::lock_guard lock(state.mutex);
        state.onInterrupt = std::move(onInterrupt);
        state.count = 0;
    }
    ::SetConsoleCtrlHandler(&State::OnConsoleEvent, TRUE);
}

InterruptWatcher::~InterruptWatcher() {
    State& state = State::Only();
    ::SetConsoleCtrlHandler(&State::OnConsoleEvent, FALSE);
    {
        std::lock_guard lock(state.mutex);
        state.onInterrupt = nullptr;
    }
    state.ended.notify_all();
}

}  // namespace tolm

#include "platform/Console.h"

#include <pthread.h>
#include <signal.h>

#include <thread>

#include "platform/ThreadPriority.h"

namespace tolm {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

// SIGINT and SIGTERM are taken by one thread with sigwait, so nothing async-signal-unsafe runs in a handler.
// SIGUSR1 only ends the thread.
struct InterruptWatcher::State {
    sigset_t set{};
    std::function<void(int)> onInterrupt;
    std::thread thread;

    void Run() {
        SetCurrentThreadName("tolm-signals");
        for (int count = 1;; ++count) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0 || signal == SIGUSR1) return;
            onInterrupt(count);
        }
    }
};

InterruptWatcher::InterruptWatcher(std::function<void(int count)> onInterrupt) : state_(std::make_unique<State>()) {
    state_->onInterrupt = std::move(onInterrupt);
    sigemptyset(&state_->set);
    sigaddset(&state_->set, SIGINT);
    sigaddset(&state_->set, SIGTERM);
    sigaddset(&state_->set, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &state_->set, nullptr);
    state_->thread = std::thread([state = state_.get()] { state->Run(); });
}

InterruptWatcher::~InterruptWatcher() {
    pthread_kill(state_->thread.native_handle(), SIGUSR1);
    state_->thread.join();
}

}  // namespace tolm

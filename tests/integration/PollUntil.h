#pragma once

#include <chrono>
#include <thread>

namespace tolm::testing {

// Checks `done` every `every` until it holds or the timeout passes; whether it held.
template <class Done>
bool PollUntil(Done done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds every = std::chrono::milliseconds(50)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(every);
    }
    return true;
}

}  // namespace tolm::testing

#pragma once

#include <chrono>

namespace tolm {

// A monotonic millisecond clock; the timeline and the timers read time only through it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double NowMs() const = 0;
};

class SteadyClock final : public Clock {
public:
    double NowMs() const override {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
};

}  // namespace tolm

#pragma once

#include <atomic>

#include "platform/Clock.h"

namespace tolm {

// A clock that moves only when the test says so.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double startMs = 0) : now_(startMs) {}
    double NowMs() const override { return now_.load(); }
    void Set(double ms) { now_.store(ms); }
    void Advance(double ms) { now_.store(now_.load() + ms); }

private:
    std::atomic<double> now_;
};

}  // namespace tolm

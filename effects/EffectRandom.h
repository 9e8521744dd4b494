#pragma once

#include <cstdint>
#include <mutex>

namespace tolm {

// The one pseudo-random generator of the noise effects, shared by the whole process. Its state starts at 0
// and is never reseeded, so the noise sequence is the same in every run. A draw with range n advances the
// state as state * 134775813 + 1 (mod 2^32) and gives the upper 32 bits of state * n, a value in 0..n-1.

// One draw; thread-safe.
std::uint32_t EffectRandom(std::uint32_t range);

// Holds the generator for a run of draws (one filter pass), so a frame's draws cost no locking each.
class EffectRandomStream {
  public:
    EffectRandomStream();
    ~EffectRandomStream();
    EffectRandomStream(const EffectRandomStream&) = delete;
    EffectRandomStream& operator=(const EffectRandomStream&) = delete;

    std::uint32_t Draw(std::uint32_t range) {
        state_ = state_ * 134775813u + 1u;
        return static_cast<std::uint32_t>((static_cast<std::uint64_t>(state_) * range) >> 32);
    }

    // For bulk kernels that advance the state themselves and hand it back.
    std::uint32_t State() const { return state_; }
    void SetState(std::uint32_t state) { state_ = state; }

  private:
    std::unique_lock<std::mutex> lock_;
    std::uint32_t state_;
};

// Sets the generator's state; for tests that need the sequence from its start.
void ResetEffectRandom(std::uint32_t state = 0);

}  // namespace tolm

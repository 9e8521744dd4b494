// Plays silence with short 1 kHz beeps into a sound server sink through a small buffer, and tells when each
// beep really starts in the sink.
#pragma once

#include "ClientHandles.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace tolm::avsync {

class BeepPlayer {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;

    // `sink` empty: the server's default sink.
    BeepPlayer(const std::string& sink, int bufferMs);

    const std::string& Error() const { return error_; }

    // Writes the next few milliseconds of sound (silence, or the rest of a beep); blocks while the buffer is full.
    bool Feed();
    // Starts a beep with the next write and returns when its first sample reaches the sink, from the latency
    // the server reports (the buffered sound and the sink's own delay).
    bool StartBeep(Clock::time_point& onset, double& latencyMs);

  private:
    bool Write(std::size_t frames);

    SimplePtr stream_;
    std::vector<std::int16_t> beep_;   // one channel
    std::size_t beepPos_ = 0;          // next sample of the beep; beep_.size() when none is playing
    std::vector<std::int16_t> chunk_;  // interleaved
    std::string error_;
};

}  // namespace tolm::avsync

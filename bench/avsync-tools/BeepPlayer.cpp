#include "BeepPlayer.h"

#include <pulse/error.h>

#include <cmath>
#include <numbers>

namespace tolm::avsync {
namespace {

constexpr std::size_t kChunkFrames = BeepPlayer::kRate / 200;  // 5 ms: the pace at which beeps can start
constexpr int kBeepMs = 50;
constexpr double kBeepHz = 1000;
constexpr double kBeepLevel = 0.5;  // of full scale

std::size_t BytesOf(int ms) {
    return static_cast<std::size_t>(BeepPlayer::kRate) * ms / 1000 * BeepPlayer::kChannels * sizeof(std::int16_t);
}

}  // namespace

BeepPlayer::BeepPlayer(const std::string& sink, int bufferMs) {
    const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, kRate, kChannels};
    // A short target length keeps the sound close to the moment it is written; the rest is the server's choice.
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(BytesOf(bufferMs));
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    int err = 0;
    stream_.reset(pa_simple_new(nullptr, "tolm-avsync", PA_STREAM_PLAYBACK, sink.empty() ? nullptr : sink.c_str(),
                                "beeps", &sampleFormat, nullptr, &attr, &err));
    if (!stream_) {
        error_ = std::string("cannot play into the sound server: ") + pa_strerror(err);
        return;
    }
    const std::size_t n = static_cast<std::size_t>(kRate) * kBeepMs / 1000;
    beep_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double phase = 2 * std::numbers::pi * kBeepHz * static_cast<double>(i) / kRate;
        beep_[i] = static_cast<std::int16_t>(std::lround(32767 * kBeepLevel * std::sin(phase)));
    }
    beepPos_ = n;
    chunk_.resize(kChunkFrames * kChannels);
}

bool BeepPlayer::Write(std::size_t frames) {
    for (std::size_t f = 0; f < frames; ++f) {
        const std::int16_t v = beepPos_ < beep_.size() ? beep_[beepPos_++] : 0;
        for (int ch = 0; ch < kChannels; ++ch) chunk_[f * kChannels + static_cast<std::size_t>(ch)] = v;
    }
    int err = 0;
    if (pa_simple_write(stream_.get(), chunk_.data(), frames * kChannels * sizeof(std::int16_t), &err) < 0) {
        error_ = std::string("playing failed: ") + pa_strerror(err);
        return false;
    }
    return true;
}

bool BeepPlayer::Feed() {
    return Write(kChunkFrames);
}

bool BeepPlayer::StartBeep(Clock::time_point& onset, double& latencyMs) {
    beepPos_ = 0;
    if (!Write(kChunkFrames)) return false;
    int err = 0;
    // The latency is how long a sample written now waits for the sink: the chunk's last sample, so its first
    // one plays a chunk earlier.
    const pa_usec_t latency = pa_simple_get_latency(stream_.get(), &err);
    const Clock::time_point now = Clock::now();
    if (latency == static_cast<pa_usec_t>(-1)) {
        error_ = std::string("no playback latency: ") + pa_strerror(err);
        return false;
    }
    latencyMs = static_cast<double>(latency) / 1000.0;
    const auto chunk = std::chrono::microseconds(1000000LL * static_cast<long long>(kChunkFrames) / kRate);
    onset = now + std::chrono::microseconds(static_cast<long long>(latency)) - chunk;
    return true;
}

}  // namespace tolm::avsync

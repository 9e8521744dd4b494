#pragma once

#include <cstdint>
#include <deque>
#include <optional>

namespace tolm {

// Watches the room left for a recording's files, from samples taken about once a second: how fast the files
// grow, how long the room lasts at that pace, and when the recording must stop so that its files can still
// be finished (the queued frames, the sound buffers and the index still have to go in).
class TDiskWatch {
  public:
    static constexpr std::uint64_t kMB = 1024 * 1024;
    // Below this much nothing is safe: file system metadata, a compressed key frame, the WAVE and AVI headers.
    static constexpr std::uint64_t kMinimumReserve = 16 * kMB;
    // The checks are a second apart, and up to about a second of picture (the encoder's queue, the file's
    // buffer) and of sound (the device's buffers) is still on its way when a stop is decided: five seconds at
    // the current pace leave room for both with a margin for a pace that rises.
    static constexpr double kReserveSeconds = 5;
    // The index written when the file is finished: 16 bytes per frame in idx1, as much again in the OpenDML
    // indexes of a large file.
    static constexpr std::uint64_t kIndexBytesPerFrame = 32;
    // The pace is measured over this much recording time, so one flush of the file's buffer does not swing it.
    static constexpr double kRateWindowMs = 5000;

    // One sample at recording time `ms` (pauses left out): the files hold `recordedBytes`, `frames` frames are
    // written, and `room` bytes can still be written (nothing when that cannot be asked).
    void Sample(double ms, std::uint64_t recordedBytes, int frames, std::optional<std::uint64_t> room);

    // Bytes per second the files grew by lately; 0 until two samples a second apart were taken.
    double BytesPerSecond() const;
    // What must stay free for the files to be finished.
    std::uint64_t ReserveBytes() const;
    // The room is known and has fallen under the reserve: the recording must stop now.
    bool TooFull() const;
    // The room in MB; -1 when unknown.
    std::int64_t FreeMB() const;
    // Seconds of recording that fit before the stop at the current pace; -1 when the room or the pace is unknown.
    std::int64_t SecondsLeft() const;

  private:
    struct Point {
        double ms;
        std::uint64_t bytes;
    };
    std::deque<Point> points_;
    int frames_ = 0;
    std::optional<std::uint64_t> room_;
};

}  // namespace tolm

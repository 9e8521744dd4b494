#include "capture/DiskWatch.h"

#include <algorithm>
#include <cmath>

namespace tolm {

void TDiskWatch::Sample(double ms, std::uint64_t recordedBytes, int frames, std::optional<std::uint64_t> room) {
    // A file can shrink only when it was replaced; the pace starts again from there.
    if (!points_.empty() && (recordedBytes < points_.back().bytes || ms < points_.back().ms)) points_.clear();
    points_.push_back(Point{ms, recordedBytes});
    while (points_.size() > 2 && ms - points_[1].ms >= kRateWindowMs) points_.pop_front();
    frames_ = std::max(frames, 0);
    room_ = room;
}

double TDiskWatch::BytesPerSecond() const {
    if (points_.size() < 2) return 0;
    const double span = points_.back().ms - points_.front().ms;
    if (span < 1000) return 0;
    return static_cast<double>(points_.back().bytes - points_.front().bytes) * 1000.0 / span;
}

std::uint64_t TDiskWatch::ReserveBytes() const {
    const auto paced = static_cast<std::uint64_t>(std::ceil(BytesPerSecond() * kReserveSeconds));
    return std::max(kMinimumReserve, paced) + kIndexBytesPerFrame * static_cast<std::uint64_t>(frames_);
}

bool TDiskWatch::TooFull() const {
    return room_ && *room_ < ReserveBytes();
}

std::int64_t TDiskWatch::FreeMB() const {
    return room_ ? static_cast<std::int64_t>(*room_ / kMB) : -1;
}

std::int64_t TDiskWatch::SecondsLeft() const {
    const double rate = BytesPerSecond();
    if (!room_ || rate <= 0) return -1;
    const std::uint64_t reserve = ReserveBytes();
    if (*room_ <= reserve) return 0;
    return static_cast<std::int64_t>(static_cast<double>(*room_ - reserve) / rate);
}

}  // namespace tolm

#include "audio/SoundAlignment.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace tolm {

namespace {

// Arrivals whose median sets where the sound stands against the picture at the start.
constexpr std::size_t kStartArrivals = 9;
// How far from the picture the sound may stand at the start: a prompt input hands a block over within this of
// the moment its last sample was taken (the server's fragment and the thread's wake-up).
constexpr double kStartOffsetLimitMs = 40;
// Arrivals the line of where the sound stands goes through; fewer than kLeastArrivals tell nothing yet, fewer
// than kLineArrivals give their median instead of a line.
constexpr std::size_t kRecentArrivals = 30;
constexpr std::size_t kLeastArrivals = 3;
constexpr std::size_t kLineArrivals = 5;
// Moves smaller than this, or than the arrivals' own spread, are noise rather than the clocks' doing.
constexpr double kDriftStepMs = 5;
// A pause moves the sound at once; the first arrival after it is corrected when it is off by more than this.
constexpr double kResumeStepMs = 2;
// Arrivals this far off the line (or six times the spread) are a step of the input, once kStepArrivals of
// them in a row agree; fewer are late arrivals.
constexpr double kStepMs = 40;
constexpr std::size_t kStepArrivals = 3;
// The clocks' difference is told only once this much has been recorded; before, noise would dominate it.
constexpr double kDeviationAfterMs = 20000;
// An input that handed over nothing for longer is not made up for at one boundary.
constexpr double kLargestPutMs = 10000;

}  // namespace

TSoundAlignment::TSoundAlignment(std::uint32_t samplesPerSec)
    : framesPerMs_(std::max<std::uint32_t>(samplesPerSec, 1) / 1000.0),
      deviationPpm_(std::numeric_limits<double>::quiet_NaN()) {}

double TSoundAlignment::Median(std::vector<double> values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

double TSoundAlignment::MedianOffset(const std::vector<Arrival>& arrivals) {
    std::vector<double> offsets;
    offsets.reserve(arrivals.size());
    for (const Arrival& a : arrivals) offsets.push_back(a.offset);
    return Median(std::move(offsets));
}

TSoundAlignment::Line TSoundAlignment::Fit(const std::vector<Arrival>& arrivals) {
    Line line;
    std::vector<double> values;
    values.reserve(arrivals.size());
    if (arrivals.size() >= kLineArrivals) {
        for (std::size_t i = 0; i < arrivals.size(); ++i) {
            for (std::size_t j = i + 1; j < arrivals.size(); ++j) {
                const double span = arrivals[j].ms - arrivals[i].ms;
                if (span > 1) values.push_back((arrivals[j].offset - arrivals[i].offset) / span);
            }
        }
        if (!values.empty()) line.slope = Median(values);
        values.clear();
    }
    for (const Arrival& a : arrivals) values.push_back(a.offset - line.slope * a.ms);
    line.intercept = Median(values);
    for (double& v : values) v = std::abs(v - line.intercept);
    line.spread = 1.4826 * Median(values);  // the median deviation, scaled to a standard deviation
    return line;
}

bool TSoundAlignment::OffTheLine(const Line& line, const Arrival& arrival) {
    return std::abs(arrival.offset - line.At(arrival.ms)) > std::max(kStepMs, 6 * line.spread);
}

bool TSoundAlignment::OffWhereItStands(const Arrival& arrival) const {
    if (recent_.empty()) return false;
    // The spread of fewer arrivals tells nothing yet.
    if (recent_.size() < kLeastArrivals) return std::abs(arrival.offset - MedianOffset(recent_)) > kStepMs;
    return OffTheLine(Fit(recent_), arrival);
}

std::int64_t TSoundAlignment::Correct(double ms, std::uint64_t frames) {
    ms = std::min(ms, kLargestPutMs);
    std::int64_t count = std::llround(ms * framesPerMs_);
    if (count < 0) {
        count = -static_cast<std::int64_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(-count), frames));
        framesLeftOut_ += static_cast<std::uint64_t>(-count);
    } else {
        framesPut_ += static_cast<std::uint64_t>(count);
    }
    // What is already measured moves with the track.
    const double applied = static_cast<double>(count) / framesPerMs_;
    for (Arrival& arrival : recent_) arrival.offset += applied;
    return count;
}

std::int64_t TSoundAlignment::Follow(const Arrival& arrival, double target, std::uint64_t frames) {
    if (recent_.size() >= kLeastArrivals) {
        if (OffTheLine(Fit(recent_), arrival)) {
            // Off the line: a late arrival, or the first of a step the input took (sound lost or handed over in
            // a burst). A step shows in every arrival after it.
            step_.push_back(arrival);
            if (step_.size() < kStepArrivals) return 0;
            const double stepped = MedianOffset(step_);
            recent_ = std::move(step_);
            step_.clear();
            return Correct(target - stepped, frames);
        }
    }
    step_.clear();
    recent_.push_back(arrival);
    if (recent_.size() > kRecentArrivals) recent_.erase(recent_.begin());
    if (recent_.size() < kLeastArrivals) return 0;
    const Line line = Fit(recent_);
    if (arrival.ms >= kDeviationAfterMs) {
        // Left to itself the sound would have moved by where the line stands less what was corrected for it
        // (holding it back for the picture's lag included, as the line includes it).
        deviationPpm_ = (line.At(arrival.ms) - reference_ - startLagMs_ - clockCorrectionMs_) / arrival.ms * 1e6;
    }
    const double off = line.At(arrival.ms) - target;
    if (std::abs(off) < std::max(kDriftStepMs, line.spread)) return 0;
    const std::int64_t adjusted = Correct(-off, frames);
    clockCorrectionMs_ += static_cast<double>(adjusted) / framesPerMs_;
    return adjusted;
}

std::int64_t TSoundAlignment::Adjust(std::uint64_t frames, const TimelinePoint& now) {
    // Blocks that arrive before the picture starts or during a pause are written as they are; the pause's own
    // share of them is found out by the first arrival after it.
    if (!now.running) {
        written_ += frames;
        return 0;
    }
    if (now.segment != segment_) {
        // A pause before the start was measured leaves what was measured as the start.
        if (!haveReference_ && !recent_.empty()) SetReference();
        segment_ = now.segment;
        recent_.clear();
        step_.clear();
        resumed_ = true;
        haveLastArrival_ = false;
    }
    const Arrival arrival{now.ms, static_cast<double>(written_ + frames) / framesPerMs_ - now.ms};
    // A block that comes sooner after the one before than it takes to play was not taken just before it came: a
    // late buffer thread catches up, or a source hands its sound over ahead of time in bursts. Off the line, such
    // a block tells how the input delivers, not where the sound stands, and would read as a step of the input.
    const bool inRun = haveLastArrival_ && now.ms - lastArrivalMs_ < static_cast<double>(frames) / framesPerMs_ / 2;
    haveLastArrival_ = true;
    lastArrivalMs_ = now.ms;
    if (inRun && OffWhereItStands(arrival)) {
        written_ += frames;
        return 0;
    }
    std::int64_t adjusted = 0;
    if (!haveReference_) {
        double heldBack = 0;  // later arrivals hold what the first one put in already
        if (recent_.empty()) {
            // The sound is held back for the picture from its first block on. An input whose first block is far
            // off is brought to the picture at once: a sound server that had rendered ahead before it lowered its
            // latency hands over nothing for a while, and sound that began before the picture has none to go with.
            const double off = std::abs(arrival.offset) > kStartOffsetLimitMs ? -arrival.offset : 0;
            startLagMs_ = std::max(now.pictureLagMs, 0.0);
            if (startLagMs_ + off != 0) adjusted = Correct(startLagMs_ + off, frames);
            heldBack = static_cast<double>(adjusted) / framesPerMs_;
        }
        recent_.push_back({arrival.ms, arrival.offset + heldBack});
        if (recent_.size() >= kStartArrivals) SetReference();
    } else if (resumed_) {
        resumed_ = false;
        const double off = arrival.offset - (reference_ + now.pictureLagMs);
        if (std::abs(off) >= kResumeStepMs) adjusted = Correct(-off, frames);
        recent_.push_back({arrival.ms, arrival.offset + static_cast<double>(adjusted) / framesPerMs_});
    } else {
        adjusted = Follow(arrival, reference_ + now.pictureLagMs, frames);
    }
    if (adjusted >= 0) {
        written_ += frames + static_cast<std::uint64_t>(adjusted);
    } else {
        written_ += frames - static_cast<std::uint64_t>(-adjusted);
    }
    return adjusted;
}

std::uint64_t TSoundAlignment::CutToPicture(const TimelinePoint& now) {
    if (now.running || now.pictureEndMs <= 0) return 0;
    const auto end = static_cast<std::uint64_t>(std::llround(now.pictureEndMs * framesPerMs_));
    if (written_ <= end) return 0;
    const std::uint64_t cut = written_ - end;
    written_ = end;
    return cut;
}

std::uint64_t TSoundAlignment::FillToPicture(const TimelinePoint& now) {
    if (now.running || now.pictureEndMs <= 0) return 0;
    const auto end = static_cast<std::uint64_t>(std::llround(now.pictureEndMs * framesPerMs_));
    if (written_ >= end) return 0;
    const std::uint64_t fill = end - written_;
    written_ = end;
    return fill;
}

void TSoundAlignment::SetReference() {
    reference_ = std::clamp(MedianOffset(recent_) - startLagMs_, -kStartOffsetLimitMs, kStartOffsetLimitMs);
    haveReference_ = true;
}

}  // namespace tolm

#pragma once

#include <cstdint>
#include <vector>

namespace tolm {

// Where the picture's timeline stands: milliseconds recorded, pauses left out.
struct TimelinePoint {
    double ms = 0;
    bool running = false;  // false before the first picture, while paused and after the stop
    unsigned segment = 0;  // counts the resumes
    // How much later a frame is seen than the moment its picture was taken, on average; the sound is held back
    // by as much so that it meets the picture it belongs to.
    double pictureLagMs = 0;
    // Where the last frame written ends; 0 before the first.
    double pictureEndMs = 0;
};

// Holds the sound track to the picture's timeline. The picture places frames by the system clock, the input's
// samples come at the rate of its own clock, and a paused input loses what it had not yet handed over: both
// move the sound away from the picture. Each block the input hands over is compared with the timeline at the
// moment it arrives; silence is put in or samples are left out at block boundaries when the sound has moved
// away from where it stood at the start. Blocks arrive late by a varying amount, so where the sound stands is
// read from a line fitted through the last arrivals (median slopes, which outliers do not pull), and only a move
// larger than that noise is corrected.
class TSoundAlignment {
  public:
    explicit TSoundAlignment(std::uint32_t samplesPerSec);

    // For a block of `frames` sample frames arriving at `now`: how many frames to put before it (positive) or
    // to leave out of its start (negative, never more than the block holds).
    std::int64_t Adjust(std::uint64_t frames, const TimelinePoint& now);
    // While the picture stands (paused, or ended by the stop) the track goes no further than its last frame:
    // how many frames to take off the track's end now.
    std::uint64_t CutToPicture(const TimelinePoint& now);
    // At the stop, after the cut: how many frames of silence the track lacks up to the picture's last frame.
    std::uint64_t FillToPicture(const TimelinePoint& now);

    // How far the input's clock runs from the system clock, in parts per million (positive: fast); NaN until
    // enough of the recording has passed to tell.
    double DeviationPpm() const { return deviationPpm_; }
    std::uint64_t FramesPut() const { return framesPut_; }
    std::uint64_t FramesLeftOut() const { return framesLeftOut_; }

  private:
    struct Arrival {
        double ms;      // on the timeline
        double offset;  // the track's length less the timeline, ms
    };
    struct Line {
        double intercept = 0;
        double slope = 0;
        double spread = 0;  // of the arrivals around it
        double At(double ms) const { return intercept + slope * ms; }
    };
    static double Median(std::vector<double> values);
    static double MedianOffset(const std::vector<Arrival>& arrivals);
    static Line Fit(const std::vector<Arrival>& arrivals);
    // Further from the line than its arrivals' noise: a late arrival, or a step of the input.
    static bool OffTheLine(const Line& line, const Arrival& arrival);
    // Whether an arrival is off where the recent ones put the sound.
    bool OffWhereItStands(const Arrival& arrival) const;
    void SetReference();
    // Follows the clocks' slow difference and the input's steps between pauses.
    std::int64_t Follow(const Arrival& arrival, double target, std::uint64_t frames);
    // Applies a correction of `ms` (positive: sound later) as far as the block allows; returns frames.
    std::int64_t Correct(double ms, std::uint64_t frames);

    double framesPerMs_;
    std::uint64_t written_ = 0;  // frames in the track, corrections included
    bool haveReference_ = false;
    double reference_ = 0;   // the sound's offset from the timeline at the start, ms
    double startLagMs_ = 0;  // held back at the first block for the picture's lag
    // The last arrivals in this stretch between pauses; before the reference, the start's arrivals.
    std::vector<Arrival> recent_;
    std::vector<Arrival> step_;  // arrivals off the line, in a row
    unsigned segment_ = 0;
    bool haveLastArrival_ = false;  // in this stretch between pauses
    double lastArrivalMs_ = 0;
    bool resumed_ = false;          // the next arrival measures what the pause moved
    double clockCorrectionMs_ = 0;  // corrections of the clocks' difference, pauses not counted
    std::uint64_t framesPut_ = 0;
    std::uint64_t framesLeftOut_ = 0;
    double deviationPpm_;
};

}  // namespace tolm

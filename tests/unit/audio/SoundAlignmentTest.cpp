#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "audio/SoundAlignment.h"

namespace tolm::test {
namespace {

constexpr std::uint32_t kRate = 44100;
constexpr double kFramesPerMs = kRate / 1000.0;

// An input whose clock runs `ppm` off the system clock, handing over one-second blocks that arrive late by a
// fixed latency plus up to `jitterMs` of scheduling noise. It tracks where the sound really stands against the
// picture: the track's length against the capture time of the last frame handed over.
class SimulatedInput {
  public:
    SimulatedInput(double ppm, double jitterMs, double pictureLagMs = 0)
        : framesPerMs_(kFramesPerMs * (1 + ppm * 1e-6)), jitter_(0, jitterMs), random_(7), lag_(pictureLagMs) {}

    // Hands over one block, at `arrivalMs` when given; returns the sound's offset from the picture after it, in ms.
    double Block(TSoundAlignment& alignment, std::uint64_t frames = kRate, double arrivalMs = -1) {
        capturedMs_ += static_cast<double>(frames) / framesPerMs_;
        TimelinePoint now;
        now.running = true;
        now.segment = segment_;
        now.pictureLagMs = lag_;
        now.ms = arrivalMs >= 0 ? arrivalMs : capturedMs_ + 20 + jitter_(random_);
        track_ += static_cast<std::int64_t>(frames) + alignment.Adjust(frames, now);
        return static_cast<double>(track_) / kFramesPerMs - capturedMs_;
    }
    // Hands over `blocks` blocks; returns the offset after the last.
    double Blocks(TSoundAlignment& alignment, int blocks) {
        double offset = 0;
        for (int block = 0; block < blocks; ++block) offset = Block(alignment);
        return offset;
    }
    // The buffer thread wakes late: the `blocks` blocks taken meanwhile are handed over at once.
    void Backlog(TSoundAlignment& alignment, int blocks) {
        const double arrivalMs = capturedMs_ + blocks * 1000.0 + 20;
        for (int block = 0; block < blocks; ++block) Block(alignment, kRate, arrivalMs + block * 0.1);
    }
    // A pause the input answers late: `lostMs` of sound before it never arrives.
    void Pause(double lostMs) {
        capturedMs_ += lostMs;
        ++segment_;
    }
    // The input hands over nothing for a while, and what it captured then is gone.
    void Stall(double ms) { capturedMs_ += ms; }

  private:
    double framesPerMs_;
    std::uniform_real_distribution<double> jitter_;
    std::mt19937 random_;
    double lag_;
    double capturedMs_ = 0;
    std::int64_t track_ = 0;
    unsigned segment_ = 0;
};

TEST(SoundAlignmentTest, HoldsAnInputWhoseClockRunsOffWithinAFewMillisecondsOverTenMinutes) {
    for (const double ppm : {1000.0, -700.0, 150.0}) {
        SCOPED_TRACE(ppm);
        TSoundAlignment alignment(kRate);
        SimulatedInput input(ppm, 10);
        const double start = input.Block(alignment);
        double worst = 0;
        double last = 0;
        for (int second = 1; second < 600; ++second) {
            last = input.Block(alignment) - start;
            worst = std::max(worst, std::abs(last));
        }
        // Left alone, 1000 ppm is 600 ms after ten minutes.
        EXPECT_LT(worst, 15);
        EXPECT_LT(std::abs(last), 10);
        EXPECT_NEAR(alignment.DeviationPpm(), ppm, 60);
    }
}

TEST(SoundAlignmentTest, HoldsTheSoundBackForThePicturesLagFromTheFirstBlockOn) {
    TSoundAlignment alignment(kRate);
    SimulatedInput input(400, 2, 15);
    // The first block is where the sound starts, before it is held back.
    const double start = input.Block(alignment) - static_cast<double>(alignment.FramesPut()) / kFramesPerMs;
    for (int second = 1; second < 300; ++second) EXPECT_NEAR(input.Block(alignment) - start, 15, 8) << second;
    // Holding back is not the clock's doing.
    EXPECT_NEAR(alignment.DeviationPpm(), 400, 40);
}

TEST(SoundAlignmentTest, BringsAnInputThatHandedOverNothingAtFirstToThePictureAtItsFirstBlock) {
    TSoundAlignment alignment(kRate);
    SimulatedInput input(0, 3);
    input.Stall(800);  // a fresh sound server renders ahead, then hands over nothing until it catches up
    // As if it had been prompt: the block's end where the arrival time says, the input's 20 ms latency left.
    EXPECT_NEAR(input.Block(alignment), 20, 5);
    EXPECT_GT(static_cast<double>(alignment.FramesPut()) / kFramesPerMs, 750);
    for (int second = 0; second < 60; ++second) EXPECT_NEAR(input.Block(alignment), 20, 10);
}

TEST(SoundAlignmentTest, LeavesAnInputOnTheSystemClockAloneDespiteTheArrivalNoise) {
    TSoundAlignment alignment(kRate);
    SimulatedInput input(0, 10);
    input.Blocks(alignment, 600);
    EXPECT_LT(static_cast<double>(alignment.FramesPut() + alignment.FramesLeftOut()) / kFramesPerMs, 15);
    EXPECT_NEAR(alignment.DeviationPpm(), 0, 30);
}

TEST(SoundAlignmentTest, MakesUpAtOnceForWhatAPauseLost) {
    TSoundAlignment alignment(kRate);
    SimulatedInput input(0, 3);
    const double start = input.Blocks(alignment, 5);
    for (const double lost : {75.0, 30.0, 0.0, 60.0, 45.0}) {
        SCOPED_TRACE(lost);
        input.Pause(lost);
        // The first block after the resume is already back in step.
        EXPECT_NEAR(input.Block(alignment) - start, 0, 5);
        for (int second = 0; second < 3; ++second) EXPECT_NEAR(input.Block(alignment) - start, 0, 5);
    }
    // Pauses are not the clock's doing.
    EXPECT_NEAR(alignment.DeviationPpm(), 0, 250);
}

TEST(SoundAlignmentTest, FillsAStalledInputsGapWithoutLeavingOutMoreThanABlockHolds) {
    TSoundAlignment alignment(kRate);
    SimulatedInput input(0, 3);
    const double start = input.Blocks(alignment, 20);
    input.Stall(3000);
    input.Blocks(alignment, 12);
    EXPECT_NEAR(input.Block(alignment) - start, 0, 6);
    EXPECT_NEAR(static_cast<double>(alignment.FramesPut()) / kFramesPerMs, 3000, 10);

    // A burst asks for more to be left out than the small block after it holds.
    TSoundAlignment burst(kRate);
    for (int block = 1; block <= 20; ++block) burst.Adjust(441, TimelinePoint{block * 10.0, true, 0});
    burst.Adjust(441 * 100, TimelinePoint{210, true, 0});
    for (int block = 22; block < 200; ++block) EXPECT_GE(burst.Adjust(441, TimelinePoint{block * 10.0, true, 0}), -441);
    EXPECT_NEAR(static_cast<double>(burst.FramesLeftOut()) / kFramesPerMs, 990, 6);
}

TEST(SoundAlignmentTest, BlocksHandedOverInARunDoNotMoveTheSound) {
    TSoundAlignment alignment(kRate);
    SimulatedInput input(0, 3);
    const double start = input.Blocks(alignment, 20);
    input.Backlog(alignment, 4);
    for (int second = 0; second < 10; ++second) EXPECT_NEAR(input.Block(alignment) - start, 0, 6) << second;
    EXPECT_EQ(alignment.FramesPut() + alignment.FramesLeftOut(), 0u);

    // A source that renders two seconds ahead at a time: eight quarter-second blocks at once, every two seconds.
    TSoundAlignment ahead(kRate);
    ahead.Adjust(kRate / 4, TimelinePoint{1, true, 0});  // ahead of the picture: brought to it
    const std::uint64_t broughtToThePicture = ahead.FramesLeftOut();
    for (int burst = 0; burst < 30; ++burst) {
        for (int block = burst == 0 ? 1 : 0; block < 8; ++block)
            ahead.Adjust(kRate / 4, TimelinePoint{burst * 2000.0 + 1 + burst % 3 + block * 0.1, true, 0});
    }
    EXPECT_EQ(ahead.FramesLeftOut(), broughtToThePicture);
    EXPECT_EQ(ahead.FramesPut(), 0u);
}

TEST(SoundAlignmentTest, WritesBlocksBeforeThePictureStartsAndDuringAPauseAsTheyCome) {
    TSoundAlignment alignment(kRate);
    const TimelinePoint waiting{0, false, 0};
    EXPECT_EQ(alignment.Adjust(kRate, waiting), 0);
    EXPECT_EQ(alignment.Adjust(kRate / 2, waiting), 0);
    EXPECT_TRUE(std::isnan(alignment.DeviationPpm()));
}

TEST(SoundAlignmentTest, CutsTheTrackAtThePicturesEndWhileItStandsAndGoesOnFromThere) {
    TSoundAlignment alignment(8000);
    TimelinePoint now{0, true, 0, 0, 0};
    for (int block = 1; block <= 4; ++block) {
        now.ms = now.pictureEndMs = 100.0 * block;
        EXPECT_EQ(alignment.Adjust(800, now), 0);
    }
    EXPECT_EQ(alignment.Adjust(1600, now), 0);  // 200 ms handed over ahead of time
    EXPECT_EQ(alignment.CutToPicture(now), 0u) << "the picture still runs";
    now.running = false;
    EXPECT_EQ(alignment.CutToPicture(now), 1600u);
    EXPECT_EQ(alignment.CutToPicture(now), 0u);
    // After the pause the track stands where the picture stood: the next block is in step as it comes.
    now = TimelinePoint{500, true, 1, 0, 400};
    EXPECT_EQ(alignment.Adjust(800, now), 0);
}

}  // namespace
}  // namespace tolm::test

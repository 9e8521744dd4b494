// Lays out the benchmark scene for a screen size: a still band of colour bars and a grey ramp, a large frame
// counter, rows of text-like blocks that scroll, and blocks that bounce across the text.
#pragma once

#include "SceneBoxes.h"
#include "SevenSegment.h"

namespace tolm::scene {

class SceneComposer {
  public:
    SceneComposer(int width, int height);

    // What never changes; painted once.
    BoxList StillPart() const;
    // Everything that moves, for frame `frame` (from 0); depends on nothing else.
    BoxList MovingPart(long frame) const;
    // The frame number a picture of the scene shows, -1 when its counter cannot be read.
    long ReadCounter(const SegmentProbe& lit) const;

  private:
    void AppendCounter(BoxList& out, long frame) const;
    void AppendText(BoxList& out, long frame) const;
    void AppendBlocks(BoxList& out, long frame) const;
    // Adds `box` cut to the text region, if anything of it is left.
    void AppendClipped(BoxList& out, Box box) const;

    int width_;
    int height_;
    int textTop_;
    int digitHeight_;
};

}  // namespace tolm::scene

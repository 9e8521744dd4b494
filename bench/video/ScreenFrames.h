#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tolm::bench {

// Desktop-like pictures for the video benchmark: a flat wallpaper, windows with title bars and lines of
// text-like glyphs, a task bar, and a window and a clock that change from frame to frame.
class ScreenFrames {
  public:
    ScreenFrames(int width, int height, int count);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Count() const { return static_cast<int>(topDown_.size()); }
    std::size_t FrameBytes() const { return static_cast<std::size_t>(width_) * height_ * 4; }

    // Picture i as B,G,R,0 rows, top row first (what ffmpeg reads as bgr0) ...
    const std::uint8_t* TopDown(int i) const { return topDown_[static_cast<std::size_t>(i % Count())].data(); }
    // ... and as the pixel part of a 32-bit packed DIB, bottom row first.
    const std::uint8_t* BottomUp(int i) const { return bottomUp_[static_cast<std::size_t>(i % Count())].data(); }

  private:
    void Render(int index, std::vector<std::uint8_t>& pixels) const;

    int width_;
    int height_;
    std::vector<std::vector<std::uint8_t>> topDown_;
    std::vector<std::vector<std::uint8_t>> bottomUp_;
};

}  // namespace tolm::bench

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tolm::bench {

// Pictures for the video benchmark, of one of two kinds.
class ScreenFrames {
  public:
    enum class Kind {
        // Desktop-like: a flat wallpaper, windows with title bars and lines of text-like glyphs, a task bar,
        // and a window and a clock that change from frame to frame.
        desktop,
        // The top left of tolm-scene's 1920x1080 screen, which record-vs-peer records: text that scrolls on
        // every frame, bouncing blocks, a frame counter.
        movingScene,
    };

    ScreenFrames(int width, int height, int count, Kind kind = Kind::desktop);

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
    void RenderScene(int index, std::vector<std::uint8_t>& pixels) const;

    int width_;
    int height_;
    Kind kind_;
    std::vector<std::vector<std::uint8_t>> topDown_;
    std::vector<std::vector<std::uint8_t>> bottomUp_;
};

}  // namespace tolm::bench

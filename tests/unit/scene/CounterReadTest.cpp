// The scene's frame counter read back from pictures of the scene, as the Wayland recording check and the peer
// benchmark read it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "scene/SceneComposer.h"

namespace tolm::scene {
namespace {

// The scene's picture for `frame`, one green byte per pixel (what the reader looks at).
class Picture {
  public:
    Picture(int width, int height) : width_(width), height_(height), green_(std::size_t(width) * height, 0) {}

    void Paint(const BoxList& boxes) {
        for (const Box& b : boxes)
            for (int y = std::max(b.y, 0); y < std::min(b.y + b.height, height_); ++y)
                for (int x = std::max(b.x, 0); x < std::min(b.x + b.width, width_); ++x)
                    green_[std::size_t(y) * width_ + x] = static_cast<std::uint8_t>(b.rgb >> 8);
    }
    SegmentProbe Probe() const {
        return [this](int x, int y) { return green_[std::size_t(y) * width_ + x] > 128; };
    }

  private:
    int width_;
    int height_;
    std::vector<std::uint8_t> green_;
};

TEST(SceneCounter, ReadsTheFrameNumberTheSceneShowsAtEverySize) {
    for (const auto& [width, height] : {std::pair{1280, 720}, std::pair{1920, 1080}, std::pair{320, 200}}) {
        const SceneComposer scene(width, height);
        for (long frame : {0L, 7L, 58L, 999999L}) {
            Picture picture(width, height);
            picture.Paint(scene.StillPart());
            picture.Paint(scene.MovingPart(frame));
            EXPECT_EQ(scene.ReadCounter(picture.Probe()), frame) << width << "x" << height;
        }
    }
}

TEST(SceneCounter, APictureWithoutTheSceneReadsAsNone) {
    const SceneComposer scene(1280, 720);
    Picture black(1280, 720);
    EXPECT_EQ(scene.ReadCounter(black.Probe()), -1);
    // Nor does a bright one, which lights every segment.
    Picture lit(1280, 720);
    lit.Paint({{0, 0, 1280, 720, 0xFFFFFF}});
    EXPECT_EQ(scene.ReadCounter(lit.Probe()), -1);
}

}  // namespace
}  // namespace tolm::scene

// tolm-scene-counter: reads the frame counter of tolm-scene out of a recording, so scripts can tell whether the
// frames move forward and how many distinct ones a file holds.
// Usage: ffmpeg -i FILE -f rawvideo -pix_fmt rgb24 - | tolm-scene-counter WIDTH HEIGHT [SCENE_WIDTH SCENE_HEIGHT]
// Prints one line per frame: the counter, or -1 where it cannot be read. The scene's size (default: the frame's)
// places the counter; the frame shows the scene's top left.
#include "SceneComposer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

int Positive(const char* text) {
    const long value = std::strtol(text, nullptr, 10);
    return value > 0 && value <= 16384 ? static_cast<int>(value) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "Usage: tolm-scene-counter WIDTH HEIGHT [SCENE_WIDTH SCENE_HEIGHT] < rgb24 frames\n");
        return 2;
    }
    const int width = Positive(argv[1]);
    const int height = Positive(argv[2]);
    const int sceneWidth = argc == 5 ? Positive(argv[3]) : width;
    const int sceneHeight = argc == 5 ? Positive(argv[4]) : height;
    if (width == 0 || height == 0 || sceneWidth == 0 || sceneHeight == 0) {
        std::fprintf(stderr, "tolm-scene-counter: sizes are whole numbers from 1 to 16384\n");
        return 2;
    }
    const tolm::scene::SceneComposer scene(sceneWidth, sceneHeight);
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * height * 3);
    // Lit is the counter's green; the mean of a 3x3 patch rides over compression noise.
    const auto lit = [&](int x, int y) {
        int sum = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int px = x + dx;
                const int py = y + dy;
                if (px < 0 || py < 0 || px >= width || py >= height) return false;
                sum += frame[(static_cast<std::size_t>(py) * width + px) * 3 + 1];
            }
        return sum / 9 > 128;
    };
    while (std::fread(frame.data(), 1, frame.size(), stdin) == frame.size())
        std::printf("%ld\n", scene.ReadCounter(lit));
    return 0;
}

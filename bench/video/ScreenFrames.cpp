#include "ScreenFrames.h"

#include <algorithm>
#include <cstring>

#include "../scene/SceneComposer.h"

namespace tolm::bench {
namespace {

struct Canvas {
    std::vector<std::uint8_t>& px;
    int width;
    int height;

    void Fill(int x0, int y0, int w, int h, std::uint32_t rgb) {
        const int x1 = std::min(width, x0 + w);
        const int y1 = std::min(height, y0 + h);
        for (int y = std::max(0, y0); y < y1; ++y)
            for (int x = std::max(0, x0); x < x1; ++x) {
                std::uint8_t* p = px.data() + (static_cast<std::size_t>(y) * width + x) * 4;
                p[0] = static_cast<std::uint8_t>(rgb);
                p[1] = static_cast<std::uint8_t>(rgb >> 8);
                p[2] = static_cast<std::uint8_t>(rgb >> 16);
                p[3] = 0;
            }
    }

    // A line of 6x9 glyphs whose strokes come from a hash of the text position, so it reads like text.
    void Text(int x0, int y0, int chars, std::uint32_t seed, std::uint32_t rgb) {
        for (int c = 0; c < chars; ++c) {
            std::uint32_t h = seed * 2654435761u + static_cast<std::uint32_t>(c) * 40503u;
            if ((h >> 7) % 7 == 0) continue;  // a space between words
            for (int gy = 0; gy < 9; ++gy)
                for (int gx = 0; gx < 5; ++gx) {
                    h = h * 1103515245u + 12345u;
                    if ((h >> 16) % 3 == 0) Fill(x0 + c * 7 + gx, y0 + gy, 1, 1, rgb);
                }
        }
    }

    void Window(int x, int y, int w, int h, std::uint32_t seed) {
        Fill(x - 1, y - 1, w + 2, h + 2, 0x404040);
        Fill(x, y, w, 24, 0x2B579A);
        Text(x + 8, y + 8, std::min(40, w / 7 - 4), seed, 0xFFFFFF);
        Fill(x, y + 24, w, h - 24, 0xFFFFFF);
        for (int line = 0; 24 + 12 + line * 14 + 9 < h; ++line)
            Text(x + 10, y + 36 + line * 14, (w - 20) / 7 - (line * 13) % 17, seed + line + 1, 0x202020);
    }
};

}  // namespace

ScreenFrames::ScreenFrames(int width, int height, int count, Kind kind) : width_(width), height_(height), kind_(kind) {
    const std::size_t row = static_cast<std::size_t>(width) * 4;
    for (int i = 0; i < count; ++i) {
        std::vector<std::uint8_t> pixels(FrameBytes());
        if (kind_ == Kind::movingScene)
            RenderScene(i, pixels);
        else
            Render(i, pixels);
        std::vector<std::uint8_t> flipped(FrameBytes());
        for (int y = 0; y < height; ++y)
            std::memcpy(flipped.data() + static_cast<std::size_t>(height - 1 - y) * row,
                        pixels.data() + static_cast<std::size_t>(y) * row, row);
        topDown_.push_back(std::move(pixels));
        bottomUp_.push_back(std::move(flipped));
    }
}

void ScreenFrames::Render(int index, std::vector<std::uint8_t>& pixels) const {
    Canvas canvas{pixels, width_, height_};
    canvas.Fill(0, 0, width_, height_, 0x3A6EA5);  // wallpaper
    canvas.Window(width_ / 16, height_ / 12, width_ / 2, height_ * 2 / 3, 11);
    canvas.Window(width_ / 2, height_ / 5, width_ * 3 / 8, height_ / 2, 23);
    // The window being dragged across the screen.
    const int w = width_ / 5;
    const int h = height_ / 4;
    canvas.Window((index * 24) % (width_ - w), height_ / 3 + (index * 10) % (height_ / 3), w, h, 37);
    // Task bar with a clock that changes every frame.
    canvas.Fill(0, height_ - 40, width_, 40, 0x1F1F1F);
    canvas.Fill(8, height_ - 34, 90, 28, 0x2B579A);
    canvas.Text(width_ - 90, height_ - 26, 8, 1000u + static_cast<std::uint32_t>(index), 0xFFFFFF);
}

void ScreenFrames::RenderScene(int index, std::vector<std::uint8_t>& pixels) const {
    Canvas canvas{pixels, width_, height_};
    const scene::SceneComposer composer(1920, 1080);
    for (const scene::BoxList& boxes : {composer.StillPart(), composer.MovingPart(index)})
        for (const scene::Box& box : boxes) canvas.Fill(box.x, box.y, box.width, box.height, box.rgb);
}

}  // namespace tolm::bench

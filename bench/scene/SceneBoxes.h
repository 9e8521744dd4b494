// The scene as plain coloured rectangles, so what it shows is a pure function of the frame number.
#pragma once

#include <cstdint>
#include <vector>

namespace tolm::scene {

struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    uint32_t rgb = 0;
};

// Painted in order; later boxes cover earlier ones.
using BoxList = std::vector<Box>;

}  // namespace tolm::scene

#include "app/WindowPlacement.h"

#include <algorithm>

namespace tolm {

Rect FitOnScreen(const Rect& outer, const Rect& screen) {
    const int width = std::min(outer.width, screen.width);
    const int height = std::min(outer.height, screen.height);
    return Rect{std::clamp(outer.left, screen.left, screen.Right() - width),
                std::clamp(outer.top, screen.top, screen.Bottom() - height), width, height};
}

}  // namespace tolm

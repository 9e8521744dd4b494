#include "selection/TypedArea.h"

#include <algorithm>

namespace tolm {

std::optional<Rect> WithTypedSize(Rect area, bool width, int size, const Rect& monitor) {
    if (size < 1) return std::nullopt;
    int& start = width ? area.left : area.top;
    int& length = width ? area.width : area.height;
    const int from = width ? monitor.left : monitor.top;
    const int room = width ? monitor.width : monitor.height;
    length = size;
    if (room > 0 && start + length > from + room) start = std::max(from, from + room - length);
    return area;
}

}  // namespace tolm

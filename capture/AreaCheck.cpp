#include "capture/AreaCheck.h"

namespace tolm {
namespace {

std::string SizeText(const Rect& r) {
    return std::to_string(r.width) + "x" + std::to_string(r.height);
}

std::string PlaceText(const Rect& r) {
    return SizeText(r) + " at (" + std::to_string(r.left) + "," + std::to_string(r.top) + ")";
}

}  // namespace

std::string AreaProblem(const Rect& area, const Rect& desktop) {
    if (area.width < 1 || area.height < 1)
        return "The area " + SizeText(area) +
               " has no pixels to record (a width and a height of at least 1 are needed)";
    const std::int64_t bytes = std::int64_t{4} * area.width * area.height;
    if (area.width > kMaxFrameSide || area.height > kMaxFrameSide || bytes >= kMaxFrameBytes)
        return "The area " + SizeText(area) + " is too large to record (a frame is at most " +
               std::to_string(kMaxFrameSide) + " pixels wide or high and under 2 GB)";
    if (desktop.Empty()) return {};
    // In 64 bits: a far-off area's edges need not fit an int.
    const auto outside = [](std::int64_t start, std::int64_t length, std::int64_t from, std::int64_t size) {
        return start + length <= from || start >= from + size;
    };
    if (outside(area.left, area.width, desktop.left, desktop.width) ||
        outside(area.top, area.height, desktop.top, desktop.height))
        return "The area " + PlaceText(area) + " lies wholly outside the screen (" + PlaceText(desktop) + ")";
    return {};
}

}  // namespace tolm

#include "selection/RectRegion.h"

namespace tolm {

RectRegion::RectRegion(const Rect& r) {
    if (!r.Empty()) rects_.push_back(r);
}

void RectRegion::Subtract(const Rect& cut) {
    std::vector<Rect> kept;
    for (const Rect& r : rects_) {
        const Rect i = Intersect(r, cut);
        if (i.Empty()) {
            kept.push_back(r);
            continue;
        }
        const Rect pieces[] = {
            {r.left, r.top, r.width, i.top - r.top},                 // above the cut
            {r.left, i.Bottom(), r.width, r.Bottom() - i.Bottom()},  // below it
            {r.left, i.top, i.left - r.left, i.height},              // left of it
            {i.Right(), i.top, r.Right() - i.Right(), i.height},     // right of it
        };
        for (const Rect& p : pieces)
            if (!p.Empty()) kept.push_back(p);
    }
    rects_ = std::move(kept);
}

bool RectRegion::Contains(int x, int y) const {
    for (const Rect& r : rects_)
        if (x >= r.left && x < r.Right() && y >= r.top && y < r.Bottom()) return true;
    return false;
}

long long RectRegion::Area() const {
    long long area = 0;
    for (const Rect& r : rects_) area += static_cast<long long>(r.width) * r.height;
    return area;
}

}  // namespace tolm

#pragma once

#include <vector>

#include "imaging/Geometry.h"

namespace tolm {

// A window shape: a union of disjoint rectangles, built by cutting rectangles out of a start rectangle.
class RectRegion {
  public:
    RectRegion() = default;
    explicit RectRegion(const Rect& r);

    void Subtract(const Rect& cut);
    bool Contains(int x, int y) const;
    long long Area() const;
    bool Empty() const { return rects_.empty(); }
    const std::vector<Rect>& Rects() const { return rects_; }

  private:
    std::vector<Rect> rects_;
};

}  // namespace tolm

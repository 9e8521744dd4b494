#pragma once

namespace tolm {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// A rectangle as the engine stores areas: origin plus size, in virtual-desktop pixels.
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
    bool Empty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The overlap of two rectangles; empty (zero size) when they do not meet.
inline Rect Intersect(const Rect& a, const Rect& b) {
    const int l = a.left > b.left ? a.left : b.left;
    const int t = a.top > b.top ? a.top : b.top;
    const int r = a.Right() < b.Right() ? a.Right() : b.Right();
    const int btm = a.Bottom() < b.Bottom() ? a.Bottom() : b.Bottom();
    if (r <= l || btm <= t) return Rect{l, t, 0, 0};
    return Rect{l, t, r - l, btm - t};
}

}  // namespace tolm

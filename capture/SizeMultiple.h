#pragma once

namespace tolm {

// The size a compressor that needs multiples of `b` gets: rounded up, or down when up would leave the desktop.
inline int AdjustToMultiple(int size, int b, int desktopSize) {
    const int r = size % b;
    if (r <= 0) return size;
    return size + b - r > desktopSize ? size - r : size + b - r;
}

}  // namespace tolm

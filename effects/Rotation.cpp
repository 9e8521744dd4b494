#include "effects/Rotation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <utility>
#include <vector>

namespace tolm {
namespace {

// Mirrors the pixels of one row of `width` pixels of N bytes.
template <std::size_t N>
void ReverseRow(std::uint8_t* row, int width) {
    std::uint8_t* a = row;
    std::uint8_t* b = row + static_cast<std::size_t>(width - 1) * N;
    for (; a < b; a += N, b -= N) {
        std::uint8_t t[N];
        std::memcpy(t, a, N);
        std::memcpy(a, b, N);
        std::memcpy(b, t, N);
    }
}

void ReverseRow(std::uint8_t* row, int width, int bits) {
    switch (bits) {
        case 8:
            ReverseRow<1>(row, width);
            break;
        case 16:
            ReverseRow<2>(row, width);
            break;
        case 24:
            ReverseRow<3>(row, width);
            break;
        default:
            ReverseRow<4>(row, width);
            break;
    }
}

// Swaps two rows through a small buffer: block copies rather than a byte loop.
void SwapRows(std::uint8_t* a, std::uint8_t* b, std::size_t bytes) {
    std::uint8_t buffer[4096];
    for (std::size_t done = 0; done < bytes; done += sizeof buffer) {
        const std::size_t n = std::min(sizeof buffer, bytes - done);
        std::memcpy(buffer, a + done, n);
        std::memcpy(a + done, b + done, n);
        std::memcpy(b + done, buffer, n);
    }
}

// Round half to even for |x| < 2^51, in the default rounding mode: adding 1.5 * 2^52 leaves no fraction bits.
// Inline, unlike the library call, which dominated the rotation's time.
std::int64_t RoundEven(double x) {
    constexpr double kShift = 6755399441055744.0;
    return static_cast<std::int64_t>((x + kShift) - kShift);
}

}  // namespace

void RotateBitmap(const Bitmap& source, Bitmap& destination, double angleDegrees) {
    if (source.Empty()) return;

    // The source as 32-bit pixels, converted only when it is not already.
    Bitmap converted;
    const Bitmap* pixels = &source;
    if (source.BitCount() != 32) {
        converted = Bitmap(source.Width(), source.Height(), TPixelFormat::pf32bit);
        converted.Draw(0, 0, source);
        pixels = &converted;
    }

    const double a = angleDegrees * std::numbers::pi / 180.0;
    double s = std::sin(a);
    double c = std::cos(a);
    if (!std::isfinite(s)) s = 0.0;
    if (!std::isfinite(c)) c = 0.0;

    const std::int64_t w = source.Width();
    const std::int64_t h = source.Height();
    const std::int64_t nw =
        std::llabs(std::llrint(static_cast<double>(h) * s)) + std::llabs(std::llrint(static_cast<double>(w) * c));
    const std::int64_t nh =
        std::llabs(std::llrint(static_cast<double>(w) * s)) + std::llabs(std::llrint(static_cast<double>(h) * c));
    const std::int64_t cx = w / 2;
    const std::int64_t cy = h / 2;
    const std::int64_t ox = (nw - w) / 2;
    const std::int64_t oy = (nh - h) / 2;

    Bitmap turned(static_cast<int>(nw), static_cast<int>(nh), TPixelFormat::pf32bit);
    const std::uint8_t* in = pixels->Bits();
    const std::size_t inStride = pixels->RowBytes();
    // Tiles keep the source reads of a quarter turn, which run down columns, within the cache.
    constexpr std::int64_t kTile = 64;
    for (std::int64_t ty = 0; ty < nh; ty += kTile)
        for (std::int64_t tx = 0; tx < nw; tx += kTile)
            for (std::int64_t y = ty; y < std::min(ty + kTile, nh); ++y) {
                std::uint8_t* out = turned.ScanLine(static_cast<int>(y)) + 4 * tx;
                // Doubled coordinates put pixel centres on odd numbers; div truncates toward zero, as the odd
                // sizes' lost row or column depends on.
                const double dy = static_cast<double>(2 * (y - oy - cy) + 1);
                for (std::int64_t x = tx; x < std::min(tx + kTile, nw); ++x, out += 4) {
                    const double dx = static_cast<double>(2 * (x - ox - cx) + 1);
                    const std::int64_t sx = (RoundEven(dx * c - dy * s) - 1) / 2 + cx;
                    const std::int64_t sy = (RoundEven(dx * s + dy * c) - 1) / 2 + cy;
                    if (sx < 0 || sx >= w || sy < 0 || sy >= h) continue;  // stays black, fourth byte 0
                    const std::uint8_t* p =
                        in + static_cast<std::size_t>(sy) * inStride + 4 * static_cast<std::size_t>(sx);
                    out[0] = p[0], out[1] = p[1], out[2] = p[2];
                }
            }
    destination = std::move(turned);
}

void TurnQuarterToFit(Bitmap& picture, bool clockwise, Bitmap& scratch) {
    if (picture.Empty() || picture.BitCount() != 32) return;
    scratch = picture;  // reuses its rows once it has the size
    const std::int64_t w = picture.Width();
    const std::int64_t h = picture.Height();
    // The turned picture is h wide and w high; it fills the frame's height when it is narrower than the frame's
    // shape, else its width.
    const bool fitsHeight = h * h <= w * w;
    const std::int64_t fw = fitsHeight ? std::max<std::int64_t>(1, (2 * h * h + w) / (2 * w)) : w;
    const std::int64_t fh = fitsHeight ? h : std::max<std::int64_t>(1, (2 * w * w + h) / (2 * h));
    const std::int64_t left = (w - fw) / 2;
    const std::int64_t top = (h - fh) / 2;
    // Black beside the fit; the fit itself is written whole below.
    for (std::int64_t y = 0; y < h; ++y) {
        std::uint8_t* row = picture.ScanLine(static_cast<int>(y));
        if (y < top || y >= top + fh) {
            std::memset(row, 0, static_cast<std::size_t>(4 * w));
            continue;
        }
        std::memset(row, 0, static_cast<std::size_t>(4 * left));
        std::memset(row + 4 * (left + fw), 0, static_cast<std::size_t>(4 * (w - left - fw)));
    }

    // Each column of the fit reads one row of the source, each row of it one column: the nearest to the
    // centre of the pixel, turned.
    std::vector<const std::uint8_t*> sourceRows(static_cast<std::size_t>(fw));
    for (std::int64_t x = 0; x < fw; ++x) {
        const std::int64_t turnedX = (2 * x + 1) * h / (2 * fw);
        sourceRows[static_cast<std::size_t>(x)] =
            scratch.ScanLine(static_cast<int>(clockwise ? h - 1 - turnedX : turnedX));
    }
    for (std::int64_t y = 0; y < fh; ++y) {
        const std::int64_t turnedY = (2 * y + 1) * w / (2 * fh);
        const std::size_t column = 4 * static_cast<std::size_t>(clockwise ? turnedY : w - 1 - turnedY);
        std::uint8_t* out = picture.ScanLine(static_cast<int>(top + y)) + 4 * left;
        for (std::int64_t x = 0; x < fw; ++x, out += 4) {
            std::uint32_t pixel;
            std::memcpy(&pixel, sourceRows[static_cast<std::size_t>(x)] + column, 4);
            pixel &= 0x00FFFFFFu;
            std::memcpy(out, &pixel, 4);
        }
    }
}

void FlipBitmap(Bitmap& bitmap, int mode) {
    if (bitmap.Empty() || mode < 0 || mode > 2) return;
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    if (mode == 0 || mode == 2) {
        for (int y = 0; y < height; ++y) ReverseRow(bitmap.ScanLine(y), width, bitmap.BitCount());
    }
    if (mode == 1 || mode == 2) {
        const std::size_t bytes = bitmap.RowBytes();
        for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
            SwapRows(bitmap.ScanLine(top), bitmap.ScanLine(bottom), bytes);
    }
}

}  // namespace tolm

#include "imaging/Bitmap.h"

#include <algorithm>
#include <cstring>

#include "imaging/Palette.h"

namespace tolm {
namespace {

// 5-bit channel widened to 8 bits so that narrowing again gives the same 5 bits.
constexpr std::uint32_t Widen5(std::uint32_t v) {
    return (v << 3) | (v >> 2);
}

std::uint32_t ReadRGB(const std::uint8_t* row, int x, int bits) {
    switch (bits) {
        case 8:
            return FixedPalette()[row[x]];
        case 16: {
            const std::uint32_t v = row[2 * x] | static_cast<std::uint32_t>(row[2 * x + 1]) << 8;
            return Widen5(v >> 10 & 31) << 16 | Widen5(v >> 5 & 31) << 8 | Widen5(v & 31);
        }
        case 24:
            return static_cast<std::uint32_t>(row[3 * x + 2]) << 16 | static_cast<std::uint32_t>(row[3 * x + 1]) << 8 |
                   row[3 * x];
        default:
            return static_cast<std::uint32_t>(row[4 * x + 2]) << 16 | static_cast<std::uint32_t>(row[4 * x + 1]) << 8 |
                   row[4 * x];
    }
}

void WriteRGB(std::uint8_t* row, int x, int bits, std::uint32_t rgb) {
    const auto r = static_cast<std::uint8_t>(rgb >> 16);
    const auto g = static_cast<std::uint8_t>(rgb >> 8);
    const auto b = static_cast<std::uint8_t>(rgb);
    switch (bits) {
        case 8:
            row[x] = PaletteIndex(r, g, b);
            break;
        case 16: {
            const unsigned v = (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
            row[2 * x] = static_cast<std::uint8_t>(v);
            row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            break;
        }
        case 24:
            row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r;
            break;
        default:
            row[4 * x] = b, row[4 * x + 1] = g, row[4 * x + 2] = r, row[4 * x + 3] = 0;
            break;
    }
}

// Converts one row of `count` pixels between formats; same-format rows are plain copies.
void ConvertRow(const std::uint8_t* src, int srcBits, std::uint8_t* dst, int dstBits, int count) {
    if (srcBits == dstBits) {
        std::memcpy(dst, src, static_cast<std::size_t>(count) * static_cast<std::size_t>(srcBits / 8));
        return;
    }
    if (srcBits == 32 && dstBits == 24) {
        for (int x = 0; x < count; ++x)
            dst[3 * x] = src[4 * x], dst[3 * x + 1] = src[4 * x + 1], dst[3 * x + 2] = src[4 * x + 2];
        return;
    }
    if (srcBits == 24 && dstBits == 32) {
        for (int x = 0; x < count; ++x)
            dst[4 * x] = src[3 * x], dst[4 * x + 1] = src[3 * x + 1], dst[4 * x + 2] = src[3 * x + 2],
                    dst[4 * x + 3] = 0;
        return;
    }
    for (int x = 0; x < count; ++x) WriteRGB(dst, x, dstBits, ReadRGB(src, x, srcBits));
}

}  // namespace

Bitmap::Bitmap(int width, int height, TPixelFormat format) : format_(NormalizePixelFormat(format)) {
    SetSize(width, height);
}

void Bitmap::SetSize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    rowBytes_ = static_cast<std::size_t>(RowStride(width_, BitCount()));
    bits_.assign(rowBytes_ * static_cast<std::size_t>(height_), 0);
}

void Bitmap::SetPixelFormat(TPixelFormat format) {
    const TPixelFormat target = NormalizePixelFormat(format);
    if (target == format_) return;
    Bitmap converted(width_, height_, target);
    converted.Draw(0, 0, *this);
    *this = std::move(converted);
}

std::uint32_t Bitmap::PixelRGB(int x, int y) const {
    return ReadRGB(ScanLine(y), x, BitCount());
}

void Bitmap::SetPixelRGB(int x, int y, std::uint32_t rgb) {
    WriteRGB(ScanLine(y), x, BitCount(), rgb);
}

void Bitmap::Fill(std::uint32_t rgb) {
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) SetPixelRGB(x, y, rgb);
}

void Bitmap::ConvertRowTo(int y, TPixelFormat format, std::uint8_t* dst) const {
    ConvertRow(ScanLine(y), BitCount(), dst, BitsPerPixel(format), width_);
}

void Bitmap::Draw(int x, int y, const Bitmap& src) {
    const Rect area = Intersect(Rect{x, y, src.Width(), src.Height()}, Rect{0, 0, width_, height_});
    if (area.Empty()) return;
    const int srcBits = src.BitCount();
    const int dstBits = BitCount();
    for (int row = 0; row < area.height; ++row) {
        const std::uint8_t* s = src.ScanLine(area.top - y + row);
        std::uint8_t* d = ScanLine(area.top + row);
        s += static_cast<std::size_t>(area.left - x) * static_cast<std::size_t>(srcBits / 8);
        d += static_cast<std::size_t>(area.left) * static_cast<std::size_t>(dstBits / 8);
        ConvertRow(s, srcBits, d, dstBits, area.width);
    }
}

}  // namespace tolm

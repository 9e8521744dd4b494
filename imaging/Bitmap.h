#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/Geometry.h"
#include "imaging/PixelFormat.h"
#include "imaging/PixelRows.h"

namespace tolm {

// A device-independent image in one of the program's pixel formats. Rows are stored top-down, each padded
// to whole 32-bit words like a packed bitmap's; row 0 is the top row. Bytes of a 24- or 32-bit pixel are
// blue, green, red (and a fourth byte nobody displays); 16-bit pixels are RGB555; 8-bit pixels index
// FixedPalette(). Not thread-safe: one owner at a time.
class Bitmap {
  public:
    Bitmap() = default;
    Bitmap(int width, int height, TPixelFormat format = TPixelFormat::pf32bit);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    TPixelFormat PixelFormat() const { return format_; }
    int BitCount() const { return BitsPerPixel(format_); }
    std::size_t RowBytes() const { return rowBytes_; }
    std::size_t ByteSize() const { return bits_.size(); }

    std::uint8_t* ScanLine(int y) { return bits_.data() + static_cast<std::size_t>(y) * rowBytes_; }
    const std::uint8_t* ScanLine(int y) const { return bits_.data() + static_cast<std::size_t>(y) * rowBytes_; }
    std::uint8_t* Bits() { return bits_.data(); }
    const std::uint8_t* Bits() const { return bits_.data(); }
    // The pixel rows; meant for pf32bit images.
    PixelRows Rows() { return PixelRows{Bits(), static_cast<std::ptrdiff_t>(rowBytes_), width_, height_}; }

    // New size; the image becomes black (all bytes zero), as a fresh bitmap is.
    void SetSize(int width, int height);

    // Converts the pixels to another format in place (normalised as NormalizePixelFormat says). A 32-bit
    // image taken to 8, 16 or 24 bits and back to 32 bits is stable after the first round.
    void SetPixelFormat(TPixelFormat format);

    // Colour of a pixel as 0x00RRGGBB, whatever the format.
    std::uint32_t PixelRGB(int x, int y) const;
    void SetPixelRGB(int x, int y, std::uint32_t rgb);

    void Fill(std::uint32_t rgb);

    // Writes row y converted to `format` into dst (Width() pixels, no padding).
    void ConvertRowTo(int y, TPixelFormat format, std::uint8_t* dst) const;

    // Copies src (any format) into this image with its top-left corner at (x, y), converting to this image's
    // format; what falls outside this image is cut off.
    void Draw(int x, int y, const Bitmap& src);

  private:
    int width_ = 0;
    int height_ = 0;
    TPixelFormat format_ = TPixelFormat::pf32bit;
    std::size_t rowBytes_ = 0;
    std::vector<std::uint8_t> bits_;
};

}  // namespace tolm

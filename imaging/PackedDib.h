#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "imaging/Bitmap.h"
#include "imaging/BufferPool.h"
#include "imaging/PixelRows.h"

namespace tolm {

// The 40-byte bitmap information header at the start of a packed DIB, as stored (little-endian).
struct BitmapInfoHeader {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;  // positive: rows stored bottom-up
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;  // uncompressed RGB
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;

    static constexpr std::size_t kSize = 40;
    void WriteTo(std::uint8_t* dst) const;
    static BitmapInfoHeader ReadFrom(const std::uint8_t* src);
};

// A frame as the video stream takes it: header, colour table (8-bit frames: 256 entries of the fixed
// palette), then bottom-up rows padded to 4 bytes. Move-only; the receiver owns it.
class PackedDib {
  public:
    PackedDib(PackedDib&&) noexcept = default;
    PackedDib& operator=(PackedDib&&) noexcept = default;

    const std::uint8_t* Data() const { return data_.Data(); }
    std::uint8_t* Data() { return data_.Data(); }
    std::size_t Size() const { return data_.Size(); }

    BitmapInfoHeader Header() const { return BitmapInfoHeader::ReadFrom(Data()); }
    // Header plus colour table: the stream format.
    std::size_t FormatSize() const { return formatSize_; }
    const std::uint8_t* Bits() const { return Data() + formatSize_; }
    std::uint8_t* Bits() { return Data() + formatSize_; }
    std::size_t BitsSize() const { return Size() - formatSize_; }
    // The pixel rows from the picture's top row, which is stored last; meant for 32-bit DIBs.
    PixelRows Rows();

    enum class Error { none, allocate, lock, retrieve };
    static const char* ErrorText(Error error);

    // Packs `image` at `bits` per pixel (8, 16, 24 or 32; anything else counts as 32), in a buffer of `pool`
    // when one is given. The header is always written. Returns no DIB only when the memory cannot be had;
    // `error` says what went wrong, including an empty image whose rows could not be read (the DIB is then
    // header-only).
    static std::optional<PackedDib> FromBitmap(const Bitmap& image, int bits, Error& error, BufferPool* pool = nullptr);

    // A DIB for a width x height picture with its header and colour table written and its pixel part
    // (padding included) left to the caller to fill. Results and errors as FromBitmap's for an image of
    // that size.
    static std::optional<PackedDib> Prepare(int width, int height, int bits, Error& error, BufferPool* pool = nullptr);

  private:
    PackedDib() = default;

    BufferPool::Buffer data_;
    std::size_t formatSize_ = 0;
};

}  // namespace tolm

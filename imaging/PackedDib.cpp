#include "imaging/PackedDib.h"

#include <cstring>
#include <new>
#include <optional>

#include "imaging/LittleEndian.h"
#include "imaging/Palette.h"

namespace tolm {
namespace {

// One image row into DIB pixels. The fourth byte of 32-bit pixels is unused by the format and written as 0,
// so the stream does not carry whatever the effects left there.
void PackRow32(const std::uint8_t* src, std::uint8_t* dst, int width) {
    // Two pixels per 64-bit word keeps this a plain masked copy that vectorises.
    constexpr std::uint64_t kColourBytes = 0x00FFFFFF00FFFFFFull;
    const std::size_t bytes = static_cast<std::size_t>(width) * 4;
    std::size_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
        std::uint64_t v;
        std::memcpy(&v, src + i, 8);
        v &= kColourBytes;
        std::memcpy(dst + i, &v, 8);
    }
    if (i < bytes) {
        std::uint32_t v;
        std::memcpy(&v, src + i, 4);
        v &= 0x00FFFFFFu;
        std::memcpy(dst + i, &v, 4);
    }
}

void PackRow(const Bitmap& image, int y, int bits, std::uint8_t* dst) {
    if (image.BitCount() == 32 && bits == 32)
        PackRow32(image.ScanLine(y), dst, image.Width());
    else
        image.ConvertRowTo(y, PixelFormatForBits(bits), dst);
}

}  // namespace

void BitmapInfoHeader::WriteTo(std::uint8_t* p) const {
    PutLE32(p, biSize);
    PutLE32(p + 4, static_cast<std::uint32_t>(biWidth));
    PutLE32(p + 8, static_cast<std::uint32_t>(biHeight));
    PutLE16(p + 12, biPlanes);
    PutLE16(p + 14, biBitCount);
    PutLE32(p + 16, biCompression);
    PutLE32(p + 20, biSizeImage);
    PutLE32(p + 24, static_cast<std::uint32_t>(biXPelsPerMeter));
    PutLE32(p + 28, static_cast<std::uint32_t>(biYPelsPerMeter));
    PutLE32(p + 32, biClrUsed);
    PutLE32(p + 36, biClrImportant);
}

BitmapInfoHeader BitmapInfoHeader::ReadFrom(const std::uint8_t* p) {
    BitmapInfoHeader h;
    h.biSize = GetLE32(p);
    h.biWidth = static_cast<std::int32_t>(GetLE32(p + 4));
    h.biHeight = static_cast<std::int32_t>(GetLE32(p + 8));
    h.biPlanes = GetLE16(p + 12);
    h.biBitCount = GetLE16(p + 14);
    h.biCompression = GetLE32(p + 16);
    h.biSizeImage = GetLE32(p + 20);
    h.biXPelsPerMeter = static_cast<std::int32_t>(GetLE32(p + 24));
    h.biYPelsPerMeter = static_cast<std::int32_t>(GetLE32(p + 28));
    h.biClrUsed = GetLE32(p + 32);
    h.biClrImportant = GetLE32(p + 36);
    return h;
}

const char* PackedDib::ErrorText(Error error) {
    switch (error) {
        case Error::allocate:
            return "Unable to allocate memory for image";
        case Error::lock:
            return "Unable to lock image handle at memory";
        case Error::retrieve:
            return "Error retrieving image bits";
        case Error::none:
            break;
    }
    return "";
}

PixelRows PackedDib::Rows() {
    const BitmapInfoHeader header = Header();
    if (header.biWidth <= 0 || header.biHeight <= 0) return PixelRows{};
    const auto stride = static_cast<std::ptrdiff_t>(RowStride(header.biWidth, header.biBitCount));
    return PixelRows{Bits() + (header.biHeight - 1) * stride, -stride, header.biWidth, header.biHeight};
}

std::optional<PackedDib> PackedDib::Prepare(int width, int height, int bits, Error& error, BufferPool* pool) {
    error = Error::none;
    bits = BitsPerPixel(PixelFormatForBits(bits));
    const std::uint32_t colorsUsed = bits <= 8 ? (1u << bits) : 0u;
    const std::size_t formatSize = BitmapInfoHeader::kSize + 4u * colorsUsed;
    const std::int64_t imageSize = width > 0 && height > 0 ? RowStride(width, bits) * height : 0;
    if (imageSize > static_cast<std::int64_t>(UINT32_MAX)) {
        error = Error::allocate;
        return std::nullopt;
    }

    std::optional<PackedDib> dib(PackedDib{});
    const std::size_t total = formatSize + static_cast<std::size_t>(imageSize);
    try {
        dib->data_ = pool ? pool->Acquire(total) : BufferPool::Allocate(total);
    } catch (const std::bad_alloc&) {
        error = Error::allocate;
        return std::nullopt;
    }
    dib->formatSize_ = formatSize;

    BitmapInfoHeader header;
    header.biWidth = width;
    header.biHeight = height;
    header.biBitCount = static_cast<std::uint16_t>(bits);
    header.biSizeImage = static_cast<std::uint32_t>(imageSize);
    header.biClrUsed = colorsUsed;
    header.WriteTo(dib->Data());
    if (colorsUsed != 0) {
        const auto& palette = FixedPalette();
        for (std::uint32_t i = 0; i < colorsUsed; ++i)
            PutLE32(dib->Data() + BitmapInfoHeader::kSize + 4 * i, palette[i]);
    }
    // No rows to fill: the header is all there is.
    if (width <= 0 || height <= 0) error = Error::retrieve;
    return dib;
}

std::optional<PackedDib> PackedDib::FromBitmap(const Bitmap& image, int bits, Error& error, BufferPool* pool) {
    std::optional<PackedDib> dib = Prepare(image.Width(), image.Height(), bits, error, pool);
    if (error != Error::none) return dib;
    bits = dib->Header().biBitCount;
    const std::int64_t height = image.Height();
    const std::int64_t stride = RowStride(image.Width(), bits);
    std::uint8_t* pixels = dib->Bits();
    const std::size_t rowUsed = static_cast<std::size_t>(image.Width()) * static_cast<std::size_t>(bits / 8);
    for (std::int64_t i = 0; i < height; ++i) {
        std::uint8_t* dst = pixels + static_cast<std::size_t>(i * stride);
        PackRow(image, static_cast<int>(height - 1 - i), bits, dst);
        std::memset(dst + rowUsed, 0, static_cast<std::size_t>(stride) - rowUsed);
    }
    return dib;
}

}  // namespace tolm

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/PackedDib.h"
#include "platform/VideoTypes.h"
#include "platform/ffmpeg/AvHandles.h"

namespace tolm::ffmpeg {

// Where the pixels of an uncompressed bottom-up DIB are: 8 bits index a palette, 16 are RGB555, 24 are
// B,G,R, 32 are B,G,R,unused; rows padded to 4 bytes.
struct DibLayout {
    int width = 0;
    int height = 0;
    int bits = 0;
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
    std::size_t stride = 0;
    std::size_t imageSize = 0;
    std::array<std::uint32_t, 256> palette{};  // ARGB, opaque; only for 8 bits
};

// The layout of frames with this header, or nothing for what we do not take (compressed, top-down,
// other depths, sizes beyond 32-bit image sizes).
std::optional<DibLayout> DescribeDib(const BitmapInfoHeader& header);
// The same from a format block (header and colour table); the palette comes from the colour table.
std::optional<DibLayout> DescribeDibFormat(const std::uint8_t* format, std::size_t size);

// Points plane 0 at the top row of a DIB's pixel bytes with a negative line size, and plane 1 at the
// palette for 8 bits, so FFmpeg sees the picture the right way up without a copy.
void WrapDibPixels(const DibLayout& layout, const std::uint8_t* bits, const std::uint8_t* data[4], int linesize[4]);

// A video format block (BITMAPINFOHEADER, then the colour table or the codec's extra data) as stream
// parameters for the AVI muxer.
AviResult VideoParametersFromFormat(const std::uint8_t* format, std::size_t size, AVCodecParameters& par);

// The format block of a stream the AVI demuxer read (the demuxer's bottom-up mark left out).
std::vector<std::uint8_t> VideoFormatFromParameters(const AVCodecParameters& par);

// The format block of an encoder's output: header with the compressor's code, then its extra data.
std::vector<std::uint8_t> CompressedVideoFormat(const AVCodecContext& encoder, std::uint32_t fourcc);
std::vector<std::uint8_t> CompressedVideoFormat(int width, int height, int bitCount, std::uint32_t fourcc,
                                                const std::vector<std::uint8_t>& extra);

}  // namespace tolm::ffmpeg

#include "platform/ffmpeg/VideoFormat.h"

#include <cstdlib>
#include <cstring>
#include <limits>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include "imaging/LittleEndian.h"

namespace tolm::ffmpeg {
namespace {

constexpr char kBottomUp[] = "BottomUp";  // the demuxer's mark for bottom-up raw frames, with its NUL

AVPixelFormat PixelFormatForBits(int bits) {
    switch (bits) {
        case 8:
            return AV_PIX_FMT_PAL8;
        case 16:
            return AV_PIX_FMT_RGB555LE;
        case 24:
            return AV_PIX_FMT_BGR24;
        case 32:
            return AV_PIX_FMT_BGR0;
        default:
            return AV_PIX_FMT_NONE;
    }
}

// The codec's extra data without the demuxer's bottom-up mark.
std::size_t ExtraDataSize(const AVCodecParameters& par) {
    std::size_t size = par.extradata ? static_cast<std::size_t>(par.extradata_size) : 0;
    if (size >= sizeof kBottomUp &&
        std::memcmp(par.extradata + size - sizeof kBottomUp, kBottomUp, sizeof kBottomUp) == 0)
        size -= sizeof kBottomUp;
    return size;
}

bool SetExtraData(AVCodecParameters& par, const std::uint8_t* data, std::size_t size) {
    av_freep(&par.extradata);
    par.extradata_size = 0;
    if (size == 0) return true;
    if (size > static_cast<std::size_t>(std::numeric_limits<int>::max() - AV_INPUT_BUFFER_PADDING_SIZE)) return false;
    par.extradata = static_cast<std::uint8_t*>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par.extradata) return false;
    std::memcpy(par.extradata, data, size);
    par.extradata_size = static_cast<int>(size);
    return true;
}

std::vector<std::uint8_t> HeaderBytes(const BitmapInfoHeader& header) {
    std::vector<std::uint8_t> bytes(BitmapInfoHeader::kSize);
    header.WriteTo(bytes.data());
    return bytes;
}

}  // namespace

std::optional<DibLayout> DescribeDib(const BitmapInfoHeader& header) {
    if (header.biCompression != 0 || header.biPlanes != 1 || header.biWidth <= 0 || header.biHeight <= 0)
        return std::nullopt;
    DibLayout layout;
    layout.pixelFormat = PixelFormatForBits(header.biBitCount);
    if (layout.pixelFormat == AV_PIX_FMT_NONE) return std::nullopt;
    layout.width = header.biWidth;
    layout.height = header.biHeight;
    layout.bits = header.biBitCount;
    const std::uint64_t stride = (static_cast<std::uint64_t>(layout.width) * layout.bits + 31) / 32 * 4;
    const std::uint64_t imageSize = stride * static_cast<std::uint64_t>(layout.height);
    // FFmpeg addresses rows with int line sizes and the header stores the image size in 32 bits.
    if (stride > static_cast<std::uint64_t>(std::numeric_limits<int>::max()) || imageSize > UINT32_MAX)
        return std::nullopt;
    layout.stride = static_cast<std::size_t>(stride);
    layout.imageSize = static_cast<std::size_t>(imageSize);
    return layout;
}

std::optional<DibLayout> DescribeDibFormat(const std::uint8_t* format, std::size_t size) {
    if (!format || size < BitmapInfoHeader::kSize) return std::nullopt;
    const BitmapInfoHeader header = BitmapInfoHeader::ReadFrom(format);
    if (header.biSize < BitmapInfoHeader::kSize || header.biSize > size) return std::nullopt;
    std::optional<DibLayout> layout = DescribeDib(header);
    if (!layout || layout->bits != 8) return layout;
    const std::size_t available = (size - header.biSize) / 4;
    std::size_t colours = header.biClrUsed ? header.biClrUsed : 256u;
    if (colours > 256u) colours = 256u;
    if (colours > available) colours = available;
    for (std::size_t i = 0; i < colours; ++i)
        layout->palette[i] = 0xFF000000u | GetLE32(format + header.biSize + 4 * i);
    for (std::size_t i = colours; i < 256u; ++i) layout->palette[i] = 0xFF000000u;
    return layout;
}

void WrapDibPixels(const DibLayout& layout, const std::uint8_t* bits, const std::uint8_t* data[4], int linesize[4]) {
    for (int i = 0; i < 4; ++i) {
        data[i] = nullptr;
        linesize[i] = 0;
    }
    data[0] = bits + layout.stride * static_cast<std::size_t>(layout.height - 1);
    linesize[0] = -static_cast<int>(layout.stride);
    if (layout.bits == 8) {
        data[1] = reinterpret_cast<const std::uint8_t*>(layout.palette.data());
        linesize[1] = 4;
    }
}

AviResult VideoParametersFromFormat(const std::uint8_t* format, std::size_t size, AVCodecParameters& par) {
    if (!format || size < BitmapInfoHeader::kSize) return AVIERR_BADFORMAT;
    const BitmapInfoHeader header = BitmapInfoHeader::ReadFrom(format);
    if (header.biSize < BitmapInfoHeader::kSize || header.biSize > size || header.biWidth <= 0 || header.biHeight == 0)
        return AVIERR_BADFORMAT;

    par.codec_type = AVMEDIA_TYPE_VIDEO;
    par.width = header.biWidth;
    par.height = std::abs(header.biHeight);
    par.bits_per_coded_sample = header.biBitCount;
    if (header.biCompression == 0) {
        const std::optional<DibLayout> layout = DescribeDibFormat(format, size);
        if (!layout) return AVIERR_UNSUPPORTED;
        par.codec_id = AV_CODEC_ID_RAWVIDEO;
        par.codec_tag = 0;
        // The muxer checks raw formats against its table, which calls 32-bit frames BGRA.
        par.format = layout->bits == 32 ? AV_PIX_FMT_BGRA : layout->pixelFormat;
        if (layout->bits != 8) return SetExtraData(par, nullptr, 0) ? AVIERR_OK : AVIERR_MEMORY;
        // The muxer writes a palette stream's extra data as its colour table: B, G, R, 0 per entry.
        std::uint8_t table[256 * 4];
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t argb = layout->palette[i];
            table[4 * i] = static_cast<std::uint8_t>(argb);
            table[4 * i + 1] = static_cast<std::uint8_t>(argb >> 8);
            table[4 * i + 2] = static_cast<std::uint8_t>(argb >> 16);
            table[4 * i + 3] = 0;
        }
        return SetExtraData(par, table, sizeof table) ? AVIERR_OK : AVIERR_MEMORY;
    }

    const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
    par.codec_id = av_codec_get_id(tags, header.biCompression);
    if (par.codec_id == AV_CODEC_ID_NONE) return AVIERR_UNSUPPORTED;
    par.codec_tag = header.biCompression;
    par.format = AV_PIX_FMT_NONE;
    return SetExtraData(par, format + BitmapInfoHeader::kSize, size - BitmapInfoHeader::kSize) ? AVIERR_OK
                                                                                               : AVIERR_MEMORY;
}

std::vector<std::uint8_t> VideoFormatFromParameters(const AVCodecParameters& par) {
    BitmapInfoHeader header;
    header.biWidth = par.width;
    header.biHeight = par.height;
    header.biBitCount = static_cast<std::uint16_t>(par.bits_per_coded_sample > 0 ? par.bits_per_coded_sample : 24);
    header.biCompression = par.codec_id == AV_CODEC_ID_RAWVIDEO ? 0u : par.codec_tag;
    const std::size_t extraSize = ExtraDataSize(par);

    if (header.biCompression == 0) {
        const std::uint64_t stride = (static_cast<std::uint64_t>(header.biWidth) * header.biBitCount + 31) / 32 * 4;
        header.biSizeImage = static_cast<std::uint32_t>(stride * static_cast<std::uint64_t>(header.biHeight));
        if (header.biBitCount > 8) return HeaderBytes(header);
        const std::size_t colours = std::size_t{1} << header.biBitCount;
        header.biClrUsed = static_cast<std::uint32_t>(colours);
        std::vector<std::uint8_t> bytes = HeaderBytes(header);
        bytes.resize(BitmapInfoHeader::kSize + 4 * colours, 0);
        std::uint8_t* table = bytes.data() + BitmapInfoHeader::kSize;
        if (extraSize >= 4 * colours) std::memcpy(table, par.extradata, 4 * colours);
        for (std::size_t i = 0; i < colours; ++i) table[4 * i + 3] = 0;
        return bytes;
    }

    header.biSize = static_cast<std::uint32_t>(BitmapInfoHeader::kSize + extraSize);
    header.biSizeImage =
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(header.biWidth) *
                                   static_cast<std::uint64_t>(header.biHeight) * header.biBitCount / 8);
    std::vector<std::uint8_t> bytes = HeaderBytes(header);
    if (extraSize) bytes.insert(bytes.end(), par.extradata, par.extradata + extraSize);
    return bytes;
}

std::vector<std::uint8_t> CompressedVideoFormat(const AVCodecContext& encoder, std::uint32_t fourcc) {
    // Some encoders name their output themselves (Ut Video by its planes); theirs is the truer code.
    const std::size_t extraSize = encoder.extradata ? static_cast<std::size_t>(encoder.extradata_size) : 0;
    return CompressedVideoFormat(encoder.width, encoder.height,
                                 encoder.bits_per_coded_sample > 0 ? encoder.bits_per_coded_sample : 24,
                                 encoder.codec_tag ? encoder.codec_tag : fourcc,
                                 std::vector<std::uint8_t>(encoder.extradata, encoder.extradata + extraSize));
}

std::vector<std::uint8_t> CompressedVideoFormat(int width, int height, int bitCount, std::uint32_t fourcc,
                                                const std::vector<std::uint8_t>& extra) {
    BitmapInfoHeader header;
    header.biWidth = width;
    header.biHeight = height;
    header.biBitCount = static_cast<std::uint16_t>(bitCount);
    header.biCompression = fourcc;
    header.biSize = static_cast<std::uint32_t>(BitmapInfoHeader::kSize + extra.size());
    header.biSizeImage =
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(header.biWidth) *
                                   static_cast<std::uint64_t>(header.biHeight) * header.biBitCount / 8);
    std::vector<std::uint8_t> bytes = HeaderBytes(header);
    bytes.insert(bytes.end(), extra.begin(), extra.end());
    return bytes;
}

}  // namespace tolm::ffmpeg

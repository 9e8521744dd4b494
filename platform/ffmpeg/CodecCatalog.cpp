#include "platform/ffmpeg/CodecCatalog.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include "platform/screencodecs/ScreenCodecs.h"

namespace tolm::ffmpeg {
namespace {

// Capability flags of a compressor's information record.
constexpr std::uint32_t VIDCF_QUALITY = 0x0001;
constexpr std::uint32_t VIDCF_TEMPORAL = 0x0004;
constexpr std::uint32_t VIDCF_FASTTEMPORALC = 0x0020;
constexpr std::uint32_t ICVERSION = 0x0104;

const std::vector<CatalogEntry>& AllCompressors() {
    static const std::vector<CatalogEntry> all = {
        {MakeFourCC('M', 'S', 'V', 'C'), "msvideo1", "MS Video Codec", "MS Video 1 (15-bit colour, 4x4 blocks)",
         AV_PIX_FMT_RGB555LE, QualityControl::none, KeyFrameControl::keyintMinGap, true},
        {MakeFourCC('M', 'J', 'P', 'G'), "mjpeg", "Motion JPEG", "Motion JPEG (every frame a JPEG picture)",
         AV_PIX_FMT_YUVJ420P, QualityControl::qscale, KeyFrameControl::intraOnly, false},
        {MakeFourCC('Z', 'M', 'B', 'V'), "zmbv", "ZMBV", "Zip Motion Blocks Video (lossless, for screen content)",
         AV_PIX_FMT_NONE, QualityControl::compressionLevel, KeyFrameControl::keyintMinPeriod, true},
        {MakeFourCC('H', '2', '6', '4'), "libx264", "H.264", "H.264 / AVC (x264, 4:2:0, no frame delay)",
         AV_PIX_FMT_YUV420P, QualityControl::crf, KeyFrameControl::gopSize, true},
        {MakeFourCC('H', 'F', 'Y', 'U'), "huffyuv", "HuffYUV", "HuffYUV (lossless RGB)", AV_PIX_FMT_RGB24,
         QualityControl::none, KeyFrameControl::intraOnly, false},
        {MakeFourCC('U', 'L', 'R', 'G'), "utvideo", "Ut Video", "Ut Video (lossless RGB)", AV_PIX_FMT_GBRP,
         QualityControl::none, KeyFrameControl::intraOnly, false},
        {MakeFourCC('F', 'M', 'P', '4'), "mpeg4", "MPEG-4", "MPEG-4 part 2 (no B-frames)", AV_PIX_FMT_YUV420P,
         QualityControl::qscale, KeyFrameControl::gopSize, true},
        {MakeFourCC('c', 'v', 'i', 'd'), "cinepak", "Cinepak", "Cinepak (vector quantiser)", AV_PIX_FMT_RGB24,
         QualityControl::lambda, KeyFrameControl::gopSize, true},
        {MakeFourCC('M', 'P', 'N', 'G'), "png", "PNG", "PNG (every frame a lossless PNG picture)", AV_PIX_FMT_RGB24,
         QualityControl::compressionLevel, KeyFrameControl::intraOnly, false},
    };
    return all;
}

bool Takes(const AVCodec& codec, AVPixelFormat format) {
    if (!codec.pix_fmts) return true;
    for (const AVPixelFormat* p = codec.pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == format) return true;
    return false;
}

bool Convertible(AVPixelFormat from, AVPixelFormat to) {
    return from == to || (sws_isSupportedInput(from) > 0 && sws_isSupportedOutput(to) > 0);
}

AVPixelFormat PixelFormatOf(screencodecs::InputFormat input) {
    switch (input) {
        case screencodecs::InputFormat::rgb555:
            return AV_PIX_FMT_RGB555LE;
        case screencodecs::InputFormat::bgr0:
            return AV_PIX_FMT_BGR0;
    }
    return AV_PIX_FMT_NONE;
}

}  // namespace

const std::vector<CatalogEntry>& AvailableCompressors() {
    static const std::vector<CatalogEntry> available = [] {
        std::vector<CatalogEntry> list;
        for (const CatalogEntry& entry : AllCompressors())
            if (OwnEncoderOf(entry) || avcodec_find_encoder_by_name(entry.encoder)) list.push_back(entry);
        return list;
    }();
    return available;
}

const CatalogEntry* FindCompressor(std::uint32_t handler) {
    for (const CatalogEntry& entry : AvailableCompressors())
        if (entry.handler == handler) return &entry;
    return nullptr;
}

const AVCodec* EncoderOf(const CatalogEntry& entry) {
    return avcodec_find_encoder_by_name(entry.encoder);
}

const screencodecs::ScreenCodec* OwnEncoderOf(const CatalogEntry& entry) {
    return screencodecs::FindScreenCodec(entry.handler);
}

CompressorInfo DescribeCompressor(const CatalogEntry& entry) {
    CompressorInfo info;
    info.fccType = ICTYPE_VIDEO;
    info.fccHandler = entry.handler;
    info.dwFlags = (entry.quality != QualityControl::none || OwnEncoderOf(entry) ? VIDCF_QUALITY : 0u) |
                   (entry.temporal ? VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC : 0u);
    info.dwVersion = avcodec_version();
    info.dwVersionICM = ICVERSION;
    info.szName = std::string(entry.shortName).substr(0, 16);
    info.szDescription = std::string(entry.description).substr(0, 128);
    info.szDriver = std::string(entry.encoder).substr(0, 128);
    return info;
}

AVPixelFormat EncoderInputFormat(const CatalogEntry& entry, AVPixelFormat source) {
    if (source == AV_PIX_FMT_NONE) return AV_PIX_FMT_NONE;
    if (const screencodecs::ScreenCodec* own = OwnEncoderOf(entry)) {
        const AVPixelFormat input = PixelFormatOf(own->input);
        return Convertible(source, input) ? input : AV_PIX_FMT_NONE;
    }
    const AVCodec* codec = EncoderOf(entry);
    if (!codec) return AV_PIX_FMT_NONE;
    AVPixelFormat chosen = AV_PIX_FMT_NONE;
    if (entry.input != AV_PIX_FMT_NONE && Takes(*codec, entry.input))
        chosen = entry.input;
    else if (Takes(*codec, source))
        chosen = source;
    else if (codec->pix_fmts)
        chosen = avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, source, 0, nullptr);
    return chosen != AV_PIX_FMT_NONE && Convertible(source, chosen) ? chosen : AV_PIX_FMT_NONE;
}

}  // namespace tolm::ffmpeg

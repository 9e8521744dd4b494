#include "platform/ffmpeg/OutputContainer.h"

#include <algorithm>
#include <cctype>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace tolm::ffmpeg {
namespace {

bool EndsWith(const std::string& path, const char* ending) {
    const std::string tail(ending);
    if (path.size() < tail.size()) return false;
    return std::equal(tail.rbegin(), tail.rend(), path.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

}  // namespace

OutputContainer ContainerOf(const std::string& path) {
    if (EndsWith(path, ".mp4")) return OutputContainer::mp4;
    if (EndsWith(path, ".mkv")) return OutputContainer::matroska;
    return OutputContainer::avi;
}

const char* MuxerName(OutputContainer container) {
    switch (container) {
        case OutputContainer::mp4:
            return "mp4";
        case OutputContainer::matroska:
            return "matroska";
        case OutputContainer::avi:
            break;
    }
    return "avi";
}

bool ContainerTakes(OutputContainer container, AVCodecID codec, int bitCount) {
    if (container == OutputContainer::avi) return true;
    // Players of the others show 8-bit raw frames without their palette: black.
    if (codec == AV_CODEC_ID_RAWVIDEO && bitCount <= 8) return false;
    const AVOutputFormat* muxer = av_guess_format(MuxerName(container), nullptr, nullptr);
    if (!muxer) return false;
    if (container == OutputContainer::mp4) {
        // libavformat also puts Motion JPEG and PNG into MP4, which few players open: not a file to share.
        return (codec == AV_CODEC_ID_H264 || codec == AV_CODEC_ID_MPEG4) &&
               avformat_query_codec(muxer, codec, FF_COMPLIANCE_NORMAL) == 1;
    }
    if (avformat_query_codec(muxer, codec, FF_COMPLIANCE_NORMAL) == 1) return true;
    // Matroska keeps any video codec with an AVI code in its compatibility track (a BITMAPINFOHEADER), which
    // libavformat's answer leaves out.
    const AVCodecTag* const riff[] = {avformat_get_riff_video_tags(), nullptr};
    return av_codec_get_tag(riff, codec) != 0;
}

bool ContainerTakesHandler(OutputContainer container, std::uint32_t fccHandler, int bitCount) {
    if (fccHandler == 0) return ContainerTakes(container, AV_CODEC_ID_RAWVIDEO, bitCount);
    const AVCodecTag* const riff[] = {avformat_get_riff_video_tags(), nullptr};
    const AVCodecID codec = av_codec_get_id(riff, fccHandler);
    return codec != AV_CODEC_ID_NONE && ContainerTakes(container, codec, bitCount);
}

}  // namespace tolm::ffmpeg

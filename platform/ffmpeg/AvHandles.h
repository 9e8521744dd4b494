#pragma once

// Owners of the FFmpeg handles the FFmpeg backend keeps. Private to platform/ffmpeg, its tests and benchmarks.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace tolm::ffmpeg {

struct CodecContextFree {
    void operator()(AVCodecContext* p) const noexcept { avcodec_free_context(&p); }
};
struct InputContextClose {
    void operator()(AVFormatContext* p) const noexcept { avformat_close_input(&p); }
};
// An output context owns its file unless the format writes none.
struct OutputContextFree {
    void operator()(AVFormatContext* p) const noexcept {
        if (p->pb && p->oformat && !(p->oformat->flags & AVFMT_NOFILE)) avio_closep(&p->pb);
        avformat_free_context(p);
    }
};
struct FrameFree {
    void operator()(AVFrame* p) const noexcept { av_frame_free(&p); }
};
struct PacketFree {
    void operator()(AVPacket* p) const noexcept { av_packet_free(&p); }
};
struct SwsFree {
    void operator()(SwsContext* p) const noexcept { sws_freeContext(p); }
};
struct CodecParametersFree {
    void operator()(AVCodecParameters* p) const noexcept { avcodec_parameters_free(&p); }
};
struct DictionaryFree {
    void operator()(AVDictionary* p) const noexcept { av_dict_free(&p); }
};

using AvCodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using AvInputContextPtr = std::unique_ptr<AVFormatContext, InputContextClose>;
using AvOutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextFree>;
using AvFramePtr = std::unique_ptr<AVFrame, FrameFree>;
using AvPacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsFree>;
using AvCodecParametersPtr = std::unique_ptr<AVCodecParameters, CodecParametersFree>;
using AvDictionaryPtr = std::unique_ptr<AVDictionary, DictionaryFree>;

}  // namespace tolm::ffmpeg

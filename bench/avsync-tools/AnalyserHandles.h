// Owning handles for the FFmpeg objects of the sync analyser.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace tolm::avsync {

struct CodecContextFree {
    void operator()(AVCodecContext* p) const noexcept { avcodec_free_context(&p); }
};
struct InputContextClose {
    void operator()(AVFormatContext* p) const noexcept { avformat_close_input(&p); }
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

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextClose>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;

}  // namespace tolm::avsync

#include "platform/ffmpeg/PictureScaler.h"

#include <algorithm>
#include <cstdlib>

extern "C" {
#include <libavutil/opt.h>
}

namespace tolm::ffmpeg {
namespace {

void KeepBytes(void*, std::uint8_t*) {}  // the caller owns the picture

}  // namespace

SwsContextPtr OpenScaler(int srcWidth, int srcHeight, AVPixelFormat srcFormat, int dstWidth, int dstHeight,
                         AVPixelFormat dstFormat) {
    SwsContextPtr scaler(sws_alloc_context());
    if (!scaler) return nullptr;
    SwsContext* s = scaler.get();
    const bool set = av_opt_set_int(s, "srcw", srcWidth, 0) >= 0 && av_opt_set_int(s, "srch", srcHeight, 0) >= 0 &&
                     av_opt_set_int(s, "src_format", srcFormat, 0) >= 0 &&
                     av_opt_set_int(s, "dstw", dstWidth, 0) >= 0 && av_opt_set_int(s, "dsth", dstHeight, 0) >= 0 &&
                     av_opt_set_int(s, "dst_format", dstFormat, 0) >= 0 &&
                     av_opt_set_int(s, "sws_flags", SWS_BICUBIC, 0) >= 0 &&
                     av_opt_set_int(s, "threads", 0, 0) >= 0;  // 0: one per core
    if (!set || sws_init_context(s, nullptr, nullptr) < 0) return nullptr;
    return scaler;
}

int ScalePicture(SwsContext& scaler, const std::uint8_t* const src[4], const int srcLines[4], int srcWidth,
                 int srcHeight, AVPixelFormat srcFormat, AVFrame& dst) {
    // Only the frame interface shares the work among threads, and it takes counted references: the picture
    // is lent to it through a buffer that frees nothing, so it is not copied first.
    AvFramePtr frame(av_frame_alloc());
    if (!frame) return AVERROR(ENOMEM);
    frame->format = srcFormat;
    frame->width = srcWidth;
    frame->height = srcHeight;
    for (int i = 0; i < 4; ++i) {
        frame->data[i] = const_cast<std::uint8_t*>(src[i]);
        frame->linesize[i] = srcLines[i];
    }
    const std::ptrdiff_t rows = static_cast<std::ptrdiff_t>(srcLines[0]) * (srcHeight - 1);
    std::uint8_t* lowest = frame->data[0] + std::min<std::ptrdiff_t>(rows, 0);
    const auto size = static_cast<std::size_t>(std::abs(rows) + std::abs(srcLines[0]));
    frame->buf[0] = av_buffer_create(lowest, size, KeepBytes, nullptr, AV_BUFFER_FLAG_READONLY);
    if (!frame->buf[0]) return AVERROR(ENOMEM);
    return sws_scale_frame(&scaler, &dst, frame.get());
}

}  // namespace tolm::ffmpeg

#include "platform/ffmpeg/EncoderSetup.h"

#include <cmath>
#include <string>

#include "platform/ffmpeg/FfmpegErrors.h"

namespace tolm::ffmpeg {
namespace {

constexpr std::uint32_t kBestQuality = 10000;

bool HasQuality(std::uint32_t quality) {
    return quality >= 1 && quality <= kBestQuality;
}

// Quality 1..10000 onto an encoder scale where `best` is the best and `worst` the worst value.
int Scale(std::uint32_t quality, int best, int worst) {
    const double t = static_cast<double>(kBestQuality - quality) / (kBestQuality - 1);
    return static_cast<int>(std::lround(best + t * (worst - best)));
}

void ApplyQuality(const CatalogEntry& entry, std::uint32_t quality, AVCodecContext& ctx, AvDictionaryPtr& dict,
                  int& frameQuality) {
    if (!HasQuality(quality)) return;
    switch (entry.quality) {
        case QualityControl::qscale: {
            ctx.flags |= AV_CODEC_FLAG_QSCALE;
            ctx.global_quality = Scale(quality, 1, 31) * FF_QP2LAMBDA;
            frameQuality = ctx.global_quality;
            break;
        }
        case QualityControl::crf:
            DictSet(dict, "crf", std::to_string(Scale(quality, 1, 51)));
            break;
        case QualityControl::lambda:
            // The encoder takes the frame's quality less one as its rate-distortion lambda.
            frameQuality = Scale(quality, 1, 31) * FF_QP2LAMBDA + 1;
            break;
        case QualityControl::compressionLevel:
            // Lossless: more quality buys more compression effort.
            ctx.compression_level = Scale(quality, 9, 0);
            break;
        case QualityControl::none:
            break;
    }
}

void ApplyKeyFrames(const CatalogEntry& entry, std::uint32_t every, AVCodecContext& ctx) {
    if (every == 0) return;
    const int n = every > 100000 ? 100000 : static_cast<int>(every);
    switch (entry.keyFrames) {
        case KeyFrameControl::gopSize:
            ctx.gop_size = n;
            break;
        case KeyFrameControl::keyintMinPeriod:
            ctx.keyint_min = n;
            break;
        case KeyFrameControl::keyintMinGap:
            ctx.keyint_min = n - 1;
            break;
        case KeyFrameControl::intraOnly:
            break;
    }
}

}  // namespace

int OpenEncoder(const CatalogEntry& entry, const EncoderParams& params, const OptionValues& options,
                OpenedEncoder& out) {
    out = OpenedEncoder{};
    const AVCodec* codec = EncoderOf(entry);
    if (!codec) return AVERROR_ENCODER_NOT_FOUND;
    if (params.width <= 0 || params.height <= 0 || params.timeBase.num <= 0 || params.timeBase.den <= 0)
        return AVERROR(EINVAL);
    const AVPixelFormat input = EncoderInputFormat(entry, params.source);
    if (input == AV_PIX_FMT_NONE) return AVERROR(EINVAL);

    AvCodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) return AVERROR(ENOMEM);
    ctx->width = params.width;
    ctx->height = params.height;
    ctx->pix_fmt = input;
    ctx->time_base = params.timeBase;
    ctx->framerate = av_inv_q(params.timeBase);
    ctx->max_b_frames = 0;
    if (input == AV_PIX_FMT_YUVJ420P) ctx->color_range = AVCOL_RANGE_JPEG;
    // Frame threads hold pictures back; slices keep one packet per frame at once.
    ctx->thread_type = FF_THREAD_SLICE;
    ctx->thread_count = params.probe ? 1 : 0;

    AvDictionaryPtr dict = EncoderDictionary(entry, options);
    ApplyQuality(entry, params.quality, *ctx, dict, out.frameQuality);
    ApplyKeyFrames(entry, params.keyFrameEvery, *ctx);

    AVDictionary* raw = dict.release();
    int rc;
    if (params.probe) {
        QuietLog quiet;
        rc = avcodec_open2(ctx.get(), codec, &raw);
    } else {
        rc = avcodec_open2(ctx.get(), codec, &raw);
    }
    dict.reset(raw);
    if (rc < 0) return rc;
    out.context = std::move(ctx);
    return 0;
}

}  // namespace tolm::ffmpeg

#include "MediaReader.h"

#include "AnalyserHandles.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include <cstdint>

namespace tolm::avsync {
namespace {

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

bool OpenDecoder(AVFormatContext* input, int stream, CodecContextPtr& out, std::string& error) {
    const AVCodecParameters* par = input->streams[stream]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) {
        error = std::string("no decoder for ") + avcodec_get_name(par->codec_id);
        return false;
    }
    out.reset(avcodec_alloc_context3(codec));
    if (!out || avcodec_parameters_to_context(out.get(), par) < 0 || avcodec_open2(out.get(), codec, nullptr) < 0) {
        error = std::string("cannot open the decoder ") + codec->name;
        return false;
    }
    return true;
}

double SampleAt(const AVFrame* f, int channel, int i) {
    const auto fmt = static_cast<AVSampleFormat>(f->format);
    const int channels = f->ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(fmt);
    const uint8_t* base = planar ? f->extended_data[channel] : f->extended_data[0];
    const int index = planar ? i : i * channels + channel;
    switch (av_get_packed_sample_fmt(fmt)) {
        case AV_SAMPLE_FMT_U8:
            return (base[index] - 128) / 128.0;
        case AV_SAMPLE_FMT_S16:
            return reinterpret_cast<const int16_t*>(base)[index] / 32768.0;
        case AV_SAMPLE_FMT_S32:
            return reinterpret_cast<const int32_t*>(base)[index] / 2147483648.0;
        case AV_SAMPLE_FMT_FLT:
            return reinterpret_cast<const float*>(base)[index];
        case AV_SAMPLE_FMT_DBL:
            return reinterpret_cast<const double*>(base)[index];
        default:
            return 0;
    }
}

class Reader {
  public:
    Reader(AVFormatContext* input, int video, int audio, Media& out)
        : input_(input), video_(video), audio_(audio), out_(out) {}

    bool Open(std::string& error) {
        if (!OpenDecoder(input_, video_, videoDecoder_, error) || !OpenDecoder(input_, audio_, audioDecoder_, error))
            return false;
        const AVSampleFormat fmt = audioDecoder_->sample_fmt;
        if (av_get_packed_sample_fmt(fmt) == AV_SAMPLE_FMT_S64 || av_get_packed_sample_fmt(fmt) == AV_SAMPLE_FMT_NONE) {
            error = "unexpected sample format";
            return false;
        }
        out_.rate = audioDecoder_->sample_rate;
        out_.frameSeconds = av_q2d(input_->streams[video_]->time_base);
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        return frame_ && packet_;
    }

    bool Run(std::string& error) {
        int ret = 0;
        while ((ret = av_read_frame(input_, packet_.get())) >= 0) {
            const bool ok = Take(*packet_, error);
            av_packet_unref(packet_.get());
            if (!ok) return false;
        }
        if (ret != AVERROR_EOF) {
            error = "reading failed: " + AvError(ret);
            return false;
        }
        avcodec_send_packet(videoDecoder_.get(), nullptr);
        avcodec_send_packet(audioDecoder_.get(), nullptr);
        return DrainVideo(error) && DrainAudio(error);
    }

  private:
    bool Take(const AVPacket& p, std::string& error) {
        if (p.stream_index == video_) {
            // An empty chunk repeats the frame before it.
            if (p.size == 0) {
                if (!out_.frames.empty()) {
                    const double level = out_.frames.back().brightness;
                    out_.frames.push_back({static_cast<double>(p.pts) * out_.frameSeconds, level});
                }
                return true;
            }
            if (avcodec_send_packet(videoDecoder_.get(), &p) < 0) return true;  // a damaged frame: skip it
            return DrainVideo(error);
        }
        if (p.stream_index == audio_) {
            if (avcodec_send_packet(audioDecoder_.get(), &p) < 0) return true;
            return DrainAudio(error);
        }
        return true;
    }

    bool DrainVideo(std::string& error) {
        while (avcodec_receive_frame(videoDecoder_.get(), frame_.get()) == 0) {
            const AVFrame* f = frame_.get();
            const int w = f->width / 2;
            const int h = f->height / 2;
            scaler_.reset(sws_getCachedContext(scaler_.release(), f->width, f->height,
                                               static_cast<AVPixelFormat>(f->format), f->width, f->height,
                                               AV_PIX_FMT_GRAY8, SWS_POINT, nullptr, nullptr, nullptr));
            if (!scaler_) {
                error = "cannot convert the video frames";
                return false;
            }
            grey_.resize(static_cast<std::size_t>(f->width) * static_cast<std::size_t>(f->height));
            uint8_t* planes[4] = {grey_.data(), nullptr, nullptr, nullptr};
            const int strides[4] = {f->width, 0, 0, 0};
            sws_scale(scaler_.get(), f->data, f->linesize, 0, f->height, planes, strides);
            double sum = 0;
            for (int y = h / 2; y < h / 2 + h; ++y)
                for (int x = w / 2; x < w / 2 + w; ++x) sum += grey_[static_cast<std::size_t>(y) * f->width + x];
            const int64_t pts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
            out_.frames.push_back({static_cast<double>(pts) * out_.frameSeconds, sum / (static_cast<double>(w) * h)});
            av_frame_unref(frame_.get());
        }
        return true;
    }

    // The sound's place is the number of samples before it, as a player counts it.
    bool DrainAudio(std::string&) {
        while (avcodec_receive_frame(audioDecoder_.get(), frame_.get()) == 0) {
            const AVFrame* f = frame_.get();
            const int channels = f->ch_layout.nb_channels;
            for (int i = 0; i < f->nb_samples; ++i) {
                double sum = 0;
                for (int ch = 0; ch < channels; ++ch) sum += SampleAt(f, ch, i);
                out_.sound.push_back(static_cast<float>(channels > 0 ? sum / channels : 0));
            }
            av_frame_unref(frame_.get());
        }
        return true;
    }

    AVFormatContext* input_;
    int video_;
    int audio_;
    Media& out_;
    CodecContextPtr videoDecoder_;
    CodecContextPtr audioDecoder_;
    FramePtr frame_;
    PacketPtr packet_;
    SwsPtr scaler_;
    std::vector<uint8_t> grey_;
};

}  // namespace

bool ReadMedia(const std::string& path, Media& out, std::string& error) {
    AVFormatContext* raw = nullptr;
    if (const int ret = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); ret < 0) {
        error = "cannot open " + path + ": " + AvError(ret);
        return false;
    }
    InputContextPtr input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0) {
        error = "cannot read the streams of " + path;
        return false;
    }
    const int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audio = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (video < 0 || audio < 0) {
        error = path + (video < 0 ? " has no video stream" : " has no sound stream");
        return false;
    }
    Reader reader(input.get(), video, audio, out);
    return reader.Open(error) && reader.Run(error);
}

}  // namespace tolm::avsync

#include "platform/ffmpeg/SwrAudioConverter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <bit>
#include <climits>
#include <new>

#include "platform/ffmpeg/FfmpegErrors.h"

namespace tolm {

namespace {

// libswresample works on native-endian samples; wave data is little-endian.
static_assert(std::endian::native == std::endian::little, "wave samples are handed to libswresample as they are");

struct SwrFree {
    void operator()(SwrContext* p) const noexcept { swr_free(&p); }
};
using SwrContextPtr = std::unique_ptr<SwrContext, SwrFree>;

// The usual layout for a channel count, released with its owner.
class DefaultChannelLayout {
  public:
    explicit DefaultChannelLayout(int channels) { av_channel_layout_default(&layout_, channels); }
    ~DefaultChannelLayout() { av_channel_layout_uninit(&layout_); }
    DefaultChannelLayout(const DefaultChannelLayout&) = delete;
    DefaultChannelLayout& operator=(const DefaultChannelLayout&) = delete;
    // Not const: this FFmpeg version's resampler set-up takes the layouts without it.
    AVChannelLayout* Get() { return &layout_; }

  private:
    AVChannelLayout layout_{};
};

constexpr std::uint16_t kWaveFormatIeeeFloat = 3;
constexpr int kMaxChannels = 8;
// Frames handed to the resampler per call: bounds the scratch memory and keeps counts within int.
constexpr std::size_t kChunkFrames = std::size_t{1} << 16;
// Room offered per call while draining the resampler.
constexpr int kFlushFrames = 4096;

// How the samples of a wave format lie in memory and what libswresample is told about them.
struct SampleLayout {
    AVSampleFormat swrFormat = AV_SAMPLE_FMT_NONE;
    int bytes = 0;          // per sample in the wave data
    bool packed24 = false;  // 24-bit samples pass the resampler as 32-bit ones
    int channels = 0;
    int rate = 0;

    std::size_t FrameBytes() const { return static_cast<std::size_t>(bytes) * channels; }
    std::size_t SwrFrameBytes() const { return static_cast<std::size_t>(packed24 ? 4 : bytes) * channels; }
};

bool LayoutOf(const WAVEFORMATEX& format, SampleLayout& layout) {
    if (format.nChannels < 1 || format.nChannels > kMaxChannels) return false;
    if (format.nSamplesPerSec == 0 || format.nSamplesPerSec > INT_MAX) return false;
    layout = SampleLayout{};
    if (format.wFormatTag == kWaveFormatPCM) {
        switch (format.wBitsPerSample) {
            case 8:
                layout.swrFormat = AV_SAMPLE_FMT_U8;
                layout.bytes = 1;
                break;
            case 16:
                layout.swrFormat = AV_SAMPLE_FMT_S16;
                layout.bytes = 2;
                break;
            case 24:
                layout.swrFormat = AV_SAMPLE_FMT_S32;
                layout.bytes = 3;
                layout.packed24 = true;
                break;
            case 32:
                layout.swrFormat = AV_SAMPLE_FMT_S32;
                layout.bytes = 4;
                break;
            default:
                return false;
        }
    } else if (format.wFormatTag == kWaveFormatIeeeFloat && format.wBitsPerSample == 32) {
        layout.swrFormat = AV_SAMPLE_FMT_FLT;
        layout.bytes = 4;
    } else {
        return false;
    }
    layout.channels = format.nChannels;
    layout.rate = static_cast<int>(format.nSamplesPerSec);
    // A record whose block size disagrees with its samples cannot be framed.
    return format.nBlockAlign == layout.FrameBytes();
}

// 24-bit samples into the top three bytes of 32-bit ones, and back (the lowest byte is dropped).
void Expand24(const std::uint8_t* in, std::size_t samples, std::uint8_t* out) {
    for (std::size_t i = 0; i < samples; ++i) {
        out[4 * i] = 0;
        out[4 * i + 1] = in[3 * i];
        out[4 * i + 2] = in[3 * i + 1];
        out[4 * i + 3] = in[3 * i + 2];
    }
}

void Pack24(const std::uint8_t* in, std::size_t samples, std::uint8_t* out) {
    for (std::size_t i = 0; i < samples; ++i) {
        out[3 * i] = in[4 * i + 1];
        out[3 * i + 1] = in[4 * i + 2];
        out[3 * i + 2] = in[4 * i + 3];
    }
}

// One pass of a buffer through a resampler, appending to `output`.
class Conversion {
  public:
    Conversion(const SampleLayout& from, const SampleLayout& to, std::vector<std::uint8_t>& output)
        : from_(from), to_(to), output_(output) {}

    bool Open() {
        DefaultChannelLayout in(from_.channels);
        DefaultChannelLayout out(to_.channels);
        SwrContext* raw = nullptr;
        if (swr_alloc_set_opts2(&raw, out.Get(), to_.swrFormat, to_.rate, in.Get(), from_.swrFormat, from_.rate, 0,
                                nullptr) < 0) {
            return false;
        }
        context_.reset(raw);
        return swr_init(context_.get()) >= 0;
    }

    bool Feed(const std::uint8_t* frames, std::size_t count) {
        const std::uint8_t* in = frames;
        if (from_.packed24) {
            const std::size_t samples = count * static_cast<std::size_t>(from_.channels);
            expanded_.resize(samples * 4);
            Expand24(frames, samples, expanded_.data());
            in = expanded_.data();
        }
        return Run(in, static_cast<int>(count), 0) >= 0;
    }

    // Drains what the resampler still holds (the filter's tail).
    bool Flush() {
        for (;;) {
            const int got = Run(nullptr, 0, kFlushFrames);
            if (got < 0) return false;
            if (got == 0) return true;
        }
    }

  private:
    // Frames produced, or -1.
    int Run(const std::uint8_t* in, int count, int minimumRoom) {
        const int bound = swr_get_out_samples(context_.get(), count);
        if (bound < 0) return -1;
        const int room = std::max(bound, minimumRoom);
        if (room == 0) return 0;
        converted_.resize(static_cast<std::size_t>(room) * to_.SwrFrameBytes());
        std::uint8_t* out = converted_.data();
        const int got = swr_convert(context_.get(), &out, room, in != nullptr ? &in : nullptr, count);
        if (got < 0) return -1;
        const std::size_t samples = static_cast<std::size_t>(got) * static_cast<std::size_t>(to_.channels);
        const std::size_t at = output_.size();
        output_.resize(at + static_cast<std::size_t>(got) * to_.FrameBytes());
        if (to_.packed24) {
            Pack24(converted_.data(), samples, output_.data() + at);
        } else {
            std::copy_n(converted_.data(), samples * static_cast<std::size_t>(to_.bytes), output_.data() + at);
        }
        return got;
    }

    SampleLayout from_;
    SampleLayout to_;
    std::vector<std::uint8_t>& output_;
    SwrContextPtr context_;
    std::vector<std::uint8_t> expanded_;
    std::vector<std::uint8_t> converted_;
};

class SwrAudioConverter final : public AudioConverter {
  public:
    bool Convert(const WaveFormatBlock& source, std::span<const std::uint8_t> data, const WaveFormatBlock& target,
                 std::vector<std::uint8_t>& output) override {
        output.clear();
        SampleLayout from;
        SampleLayout to;
        if (!LayoutOf(source.Record(), from) || !LayoutOf(target.Record(), to)) return false;
        // A trailing part of a frame is no sample of any channel and is left out.
        const std::size_t frames = data.size() / from.FrameBytes();
        if (frames == 0) return true;
        try {
            Conversion conversion(from, to, output);
            if (!conversion.Open()) return false;
            for (std::size_t done = 0; done < frames;) {
                const std::size_t count = std::min(kChunkFrames, frames - done);
                if (!conversion.Feed(data.data() + done * from.FrameBytes(), count)) return false;
                done += count;
            }
            return conversion.Flush();
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    bool SuggestPCM(const WAVEFORMATEX& format, WAVEFORMATEX& pcm) override {
        WAVEFORMATEX suggested;
        suggested.wFormatTag = format.wFormatTag;
        suggested.nChannels = format.nChannels;
        suggested.nSamplesPerSec = format.nSamplesPerSec;
        if (format.wFormatTag == kWaveFormatPCM) {
            suggested.wBitsPerSample = 16;
        } else if (format.wFormatTag == kWaveFormatIeeeFloat) {
            suggested.wBitsPerSample = 32;
        } else {
            return false;
        }
        suggested.nBlockAlign = static_cast<std::uint16_t>(suggested.nChannels * suggested.wBitsPerSample / 8);
        const std::uint64_t bytesPerSecond = std::uint64_t{suggested.nBlockAlign} * suggested.nSamplesPerSec;
        if (bytesPerSecond > UINT32_MAX) return false;
        suggested.nAvgBytesPerSec = static_cast<std::uint32_t>(bytesPerSecond);
        SampleLayout layout;
        if (!LayoutOf(suggested, layout)) return false;
        pcm = suggested;
        return true;
    }
};

}  // namespace

std::unique_ptr<AudioConverter> CreateSwrAudioConverter() {
    ffmpeg::InstallLogFilter();
    return std::make_unique<SwrAudioConverter>();
}

}  // namespace tolm

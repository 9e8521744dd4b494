#include "platform/ffmpeg/AviSave.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "platform/ffmpeg/AviMuxer.h"
#include "platform/ffmpeg/AviWriteFile.h"
#include "platform/ffmpeg/CompressedStream.h"
#include "platform/ffmpeg/FrameDecoder.h"
#include "platform/ffmpeg/OutputContainer.h"
#include "platform/ffmpeg/TempOutputFile.h"

namespace tolm::ffmpeg {
namespace {

// Audio is copied in runs of at most this many blocks; the demuxer's packets are usually smaller.
constexpr std::int64_t kAudioRun = 1 << 16;

struct Source {
    std::shared_ptr<AviStream> stream;
    bool video = false;
    std::int64_t length = 0;
    std::int64_t next = 0;
    double secondsPerSample = 0;
    std::shared_ptr<AviStream> output;  // the stream in the new file
    std::shared_ptr<AviStream> sink;    // where samples are written: output, or a compressor in front of it
    std::unique_ptr<FrameDecoder> decoder;

    bool Done() const { return next >= length; }
};

// Reports every whole percentage once, rising, including those a long step went past, so a caller that
// stops at a given percentage sees it; false when the callback asks to stop. A percentage that lasts (a long
// recording compressed at the save) is reported again a few times a second, so a stop is heard at once.
class ProgressReport {
  public:
    static constexpr std::chrono::milliseconds kRepeat{200};

    ProgressReport(const AviSaveProgress& callback, double totalSeconds) : callback_(callback), total_(totalSeconds) {}

    bool At(double seconds) {
        int percent = total_ > 0 ? static_cast<int>(std::floor(100.0 * seconds / total_)) : 100;
        percent = std::clamp(percent, 0, 100);
        if (reported_ >= percent && reported_ < 100 && std::chrono::steady_clock::now() - lastCall_ >= kRepeat)
            return Tell(reported_);
        while (reported_ < percent)
            if (!Tell(++reported_)) return false;
        return true;
    }

  private:
    bool Tell(int percent) {
        lastCall_ = std::chrono::steady_clock::now();
        return !callback_ || callback_(percent) != -1;
    }

    const AviSaveProgress& callback_;
    double total_;
    int reported_ = -1;
    std::chrono::steady_clock::time_point lastCall_{};
};

AviResult Prepare(const std::shared_ptr<AviMuxer>& muxer, const std::shared_ptr<AviStream>& stream,
                  const AviCompressOptions* options, const std::shared_ptr<const CompressorRegistry>& registry,
                  Source& source) {
    if (!stream) return AVIERR_BADPARAM;
    source.stream = stream;
    const AviStreamInfo info = stream->Info();
    const std::vector<std::uint8_t> format = stream->Format();
    if (format.empty()) return AVIERR_BADFORMAT;
    if (info.dwRate == 0 || info.dwScale == 0) return AVIERR_BADPARAM;
    source.video = info.fccType == streamtypeVIDEO;
    source.length = info.dwLength;
    source.secondsPerSample = static_cast<double>(info.dwScale) / info.dwRate;

    const bool compress = source.video && options && options->fccHandler != 0;
    AviStreamInfo outInfo = info;
    outInfo.dwLength = 0;
    if (compress) outInfo.fccHandler = options->fccHandler;
    int index = -1;
    AviResult rc = muxer->AddStream(outInfo, index);
    if (rc != AVIERR_OK) return rc;
    source.output = std::make_shared<AviWriteStream>(muxer, index);
    if (!compress) {
        source.sink = source.output;
        return source.output->SetFormat(0, format.data(), format.size());
    }

    const CatalogEntry* entry = FindCompressor(options->fccHandler);
    if (!entry || !registry) return AVIERR_NOCOMPRESSOR;
    std::vector<std::uint8_t> input = format;
    if (BitmapInfoHeader::ReadFrom(format.data()).biCompression != 0) {
        rc = FrameDecoder::Open(format, source.decoder);
        if (rc != AVIERR_OK) return rc;
        input = source.decoder->OutputFormat();
    }
    auto compressed = std::make_shared<CompressedStream>(source.output, *options, *entry, registry);
    rc = compressed->SetFormat(0, input.data(), input.size());
    if (rc != AVIERR_OK) return rc;
    source.sink = std::move(compressed);
    return AVIERR_OK;
}

// Copies the sample(s) at the source's next position.
AviResult CopyNext(Source& source, std::vector<std::uint8_t>& data) {
    std::uint32_t flags = 0;
    std::int64_t samples = 1;
    // Never beyond the length the stream gives: a stream may end before its file does.
    const std::int64_t most = source.video ? 1 : std::min(kAudioRun, source.length - source.next);
    AviResult rc = source.stream->ReadChunk(source.next, most, data, flags, samples);
    if (rc == AVIERR_NODATA) {
        source.length = source.next;  // shorter than its header said
        return AVIERR_OK;
    }
    if (rc != AVIERR_OK) return rc;
    if (samples < 1) samples = 1;
    if (!data.empty()) {
        const auto position = static_cast<std::int32_t>(source.next);
        if (source.decoder) {
            rc = source.decoder->Decode(
                data.data(), data.size(), source.next, [&](std::int64_t p, const std::uint8_t* bits, std::size_t size) {
                    return source.sink->Write(static_cast<std::int32_t>(p), 1, bits, size, AVIIF_KEYFRAME);
                });
        } else {
            rc = source.sink->Write(position, static_cast<std::int32_t>(samples), data.data(), data.size(), flags);
        }
        if (rc != AVIERR_OK) return rc;
    }
    source.next += samples;
    return AVIERR_OK;
}

AviResult Complete(Source& source) {
    if (source.decoder) {
        const AviResult rc = source.decoder->Flush([&](std::int64_t p, const std::uint8_t* bits, std::size_t size) {
            return source.sink->Write(static_cast<std::int32_t>(p), 1, bits, size, AVIIF_KEYFRAME);
        });
        if (rc != AVIERR_OK) return rc;
    }
    // Skipped positions at the end still count: an empty last frame keeps the stream's length.
    if (source.video && source.length > 0 && source.output->Info().dwLength < source.length)
        return source.output->Write(static_cast<std::int32_t>(source.length - 1), 1, nullptr, 0, 0);
    return AVIERR_OK;
}

AviResult WriteAll(std::vector<Source>& sources, const AviSaveProgress& progress) {
    double totalSeconds = 0;
    for (const Source& s : sources) totalSeconds = std::max(totalSeconds, s.length * s.secondsPerSample);
    ProgressReport report(progress, totalSeconds);
    if (!report.At(0)) return AVIERR_USERABORT;
    std::vector<std::uint8_t> data;
    for (;;) {
        // The stream that is furthest behind goes next, so the muxer interleaves without piling up.
        Source* next = nullptr;
        double nextTime = std::numeric_limits<double>::infinity();
        for (Source& s : sources) {
            const double t = s.next * s.secondsPerSample;
            if (!s.Done() && t < nextTime) {
                next = &s;
                nextTime = t;
            }
        }
        if (!next) break;
        const AviResult rc = CopyNext(*next, data);
        if (rc != AVIERR_OK) return rc;
        if (!report.At(next->next * next->secondsPerSample)) return AVIERR_USERABORT;
    }
    for (Source& s : sources) {
        const AviResult rc = Complete(s);
        if (rc != AVIERR_OK) return rc;
    }
    return report.At(totalSeconds) ? AVIERR_OK : AVIERR_USERABORT;
}

}  // namespace

AviResult SaveStreams(const std::string& path, const std::vector<std::shared_ptr<AviStream>>& streams,
                      const std::vector<const AviCompressOptions*>& options, const AviSaveProgress& progress,
                      std::shared_ptr<const CompressorRegistry> registry, std::string& problem) {
    problem.clear();
    if (streams.empty()) return AVIERR_BADPARAM;
    TempOutputFile temp;
    AviResult rc = temp.Reserve(path);
    if (rc != AVIERR_OK) {
        problem = temp.Problem();
        return rc;
    }
    std::shared_ptr<AviMuxer> muxer;
    std::string reason;
    rc = AviMuxer::Create(temp.Path(), muxer, ContainerOf(path), &reason);
    if (rc != AVIERR_OK) {
        if (!reason.empty()) problem = path + ": " + reason;
        return rc;
    }
    // What the system said of a write names the file; a fault of a compressor or of the streams read has no such words.
    const auto failed = [&](AviResult result) {
        if (const std::string why = muxer->FailureReason(); !why.empty()) problem = path + ": " + why;
        return result;
    };

    std::vector<Source> sources(streams.size());
    for (std::size_t i = 0; i < streams.size() && rc == AVIERR_OK; ++i)
        rc = Prepare(muxer, streams[i], i < options.size() ? options[i] : nullptr, registry, sources[i]);
    if (rc == AVIERR_OK) rc = WriteAll(sources, progress);
    if (rc != AVIERR_OK) {
        muxer->Abandon();
        return failed(rc);
    }
    rc = muxer->Finish();
    if (rc != AVIERR_OK) return failed(rc);
    rc = temp.Commit();
    if (rc != AVIERR_OK) problem = temp.Problem();
    return rc;
}

}  // namespace tolm::ffmpeg

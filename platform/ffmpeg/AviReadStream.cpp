#include "platform/ffmpeg/AviReadStream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

extern "C" {
#include <libavutil/mathematics.h>
}

#include "platform/Files.h"
#include "platform/ffmpeg/AudioFormat.h"
#include "platform/ffmpeg/FfmpegErrors.h"
#include "platform/ffmpeg/VideoFormat.h"

namespace tolm::ffmpeg {
namespace {

// How many empty positions from `position` up to `end` one read covers: a video frame at a time, but a gap in
// the sound up to `maxSamples` at once, so a long one is not walked block by block.
std::int64_t SkippedRun(bool audio, std::int64_t position, std::int64_t end, std::int64_t maxSamples) {
    return audio ? std::clamp<std::int64_t>(end - position, 1, maxSamples) : 1;
}

}  // namespace

AviResult OpenInput(const std::string& path, AvInputContextPtr& ctx) {
    // Asked through the platform: a narrow name would be read in the ANSI code page on Windows.
    if (path.empty() || !FileExists(path) || DirectoryExists(path)) return AVIERR_FILEOPEN;
    AVFormatContext* raw = nullptr;
    int rc;
    {
        QuietLog quiet;  // an unknown or broken file is an answer, not an error to log
        rc = avformat_open_input(&raw, ("file:" + path).c_str(), nullptr, nullptr);
    }
    if (rc < 0) return rc == AVERROR(EIO) ? AVIERR_FILEREAD : ToAviResult(rc, AVIERR_BADFORMAT);
    ctx.reset(raw);
    const char* name = ctx->iformat ? ctx->iformat->name : "";
    if (std::strcmp(name, "avi") != 0 && std::strcmp(name, "wav") != 0) {
        ctx.reset();
        return AVIERR_BADFORMAT;
    }
    return AVIERR_OK;
}

AviResult AviReadStream::Open(const std::string& path, AvInputContextPtr ctx, int index,
                              std::shared_ptr<AviReadStream>& out) {
    if (!ctx || index < 0 || index >= static_cast<int>(ctx->nb_streams)) return AVIERR_NODATA;
    auto stream = std::make_shared<AviReadStream>();
    stream->path_ = path;
    stream->ctx_ = std::move(ctx);
    stream->index_ = index;
    stream->packet_.reset(av_packet_alloc());
    if (!stream->packet_) return AVIERR_MEMORY;
    const AviResult rc = stream->Prepare();
    if (rc != AVIERR_OK) return rc;
    out = std::move(stream);
    return AVIERR_OK;
}

void AviReadStream::DiscardOthers() {
    for (unsigned i = 0; i < ctx_->nb_streams; ++i)
        ctx_->streams[i]->discard = static_cast<int>(i) == index_ ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
}

AviResult AviReadStream::Prepare() {
    DiscardOthers();
    const AVStream* st = ctx_->streams[index_];
    const AVCodecParameters& par = *st->codecpar;
    info_ = AviStreamInfo{};
    if (par.codec_type == AVMEDIA_TYPE_VIDEO) {
        positions_ = st->time_base;
        length_ = st->duration > 0 ? st->duration : st->nb_frames;
        format_ = VideoFormatFromParameters(par);
        const BitmapInfoHeader header = BitmapInfoHeader::ReadFrom(format_.data());
        opaque32_ = header.biCompression == 0 && header.biBitCount == 32;
        info_.fccType = streamtypeVIDEO;
        info_.fccHandler = header.biCompression;
        info_.dwScale = static_cast<std::uint32_t>(st->time_base.num);
        info_.dwRate = static_cast<std::uint32_t>(st->time_base.den);
        info_.dwSuggestedBufferSize = header.biCompression == 0 ? header.biSizeImage : 0;
        info_.rcFrame = FrameRect{0, 0, par.width, par.height};
    } else if (par.codec_type == AVMEDIA_TYPE_AUDIO && par.sample_rate > 0) {
        audio_ = true;
        // Counted wide: a damaged header's channels times bits overflows an int. A block a wave format cannot
        // describe (over 65535 bytes) is no sound this program wrote or can copy.
        const std::int64_t bytes = par.block_align > 0
                                       ? par.block_align
                                       : std::int64_t{par.ch_layout.nb_channels} * par.bits_per_coded_sample / 8;
        if (bytes > 0xFFFF) return AVIERR_BADFORMAT;
        blockAlign_ = static_cast<int>(std::max<std::int64_t>(1, bytes));
        positions_ = AVRational{1, par.sample_rate};
        // WAVE gives a duration; AVI gives the header's length, in blocks of the stream's time base.
        const std::int64_t span = st->duration > 0 ? st->duration : st->nb_frames;
        length_ = span > 0 ? av_rescale_q(span, st->time_base, positions_) : 0;
        format_ = AudioFormatFromParameters(par);
        info_.fccType = streamtypeAUDIO;
        info_.dwScale = static_cast<std::uint32_t>(blockAlign_);
        info_.dwRate = static_cast<std::uint32_t>(blockAlign_) * static_cast<std::uint32_t>(par.sample_rate);
        info_.dwSampleSize = static_cast<std::uint32_t>(blockAlign_);
    } else {
        return AVIERR_UNSUPPORTED;
    }
    info_.dwQuality = 0xFFFFFFFFu;
    if (const AVDictionaryEntry* title = av_dict_get(st->metadata, "title", nullptr, 0))
        info_.szName = std::string(title->value).substr(0, 64);
    // Every position takes file space: a video frame, even a skipped one, is a chunk of at least 8 bytes, an
    // audio block its block's bytes. A header that counts more than the file can hold is damaged (or the file
    // was cut short): only the packets tell the length, and trusting it would have the save walk billions of
    // positions that are not there.
    const std::int64_t fileSize = ctx_->pb ? avio_size(ctx_->pb) : -1;
    const std::int64_t most = fileSize >= 0 ? fileSize / (audio_ ? blockAlign_ : 8) : INT64_MAX;
    if (length_ > most) length_ = 0;
    if (length_ <= 0) {
        const AviResult rc = MeasureByReading();  // replaces the demuxer: `st` is gone after it
        if (rc != AVIERR_OK) return rc;
        // The packets' timestamps can be as damaged as the header (a start billions of positions late).
        length_ = std::min(length_, most);
    }
    info_.dwLength = static_cast<std::uint32_t>(std::max<std::int64_t>(length_, 0));
    return AVIERR_OK;
}

AviResult AviReadStream::MeasureByReading() {
    // A file whose writer was killed has no index and 0 for every length in its header: the stream ends where
    // its last whole packet ends, which only reading them all tells.
    std::int64_t end = 0;
    for (;;) {
        const AviResult rc = ReadNext();
        if (rc == AVIERR_NODATA) break;
        if (rc != AVIERR_OK) return rc;
        end = std::max(end, pendingStart_ + pendingCount_);
    }
    length_ = end;
    return Reopen();
}

AviResult AviReadStream::Reopen() {
    av_packet_unref(packet_.get());
    pending_ = false;
    passed_ = 0;
    AvInputContextPtr fresh;
    const AviResult rc = OpenInput(path_, fresh);
    if (rc != AVIERR_OK) return rc;
    if (fresh->nb_streams != ctx_->nb_streams) return AVIERR_BADFORMAT;
    ctx_ = std::move(fresh);
    DiscardOthers();
    return AVIERR_OK;
}

AviStreamInfo AviReadStream::Info() const {
    std::lock_guard lock(mutex_);
    return info_;
}

std::vector<std::uint8_t> AviReadStream::Format() const {
    std::lock_guard lock(mutex_);
    return format_;
}

AviResult AviReadStream::SetFormat(std::int32_t, const void*, std::size_t) {
    return AVIERR_READONLY;
}

AviResult AviReadStream::Write(std::int32_t, std::int32_t, const void*, std::size_t, std::uint32_t) {
    return AVIERR_READONLY;
}

AviResult AviReadStream::Read(std::int32_t position, std::vector<std::uint8_t>& data, std::uint32_t& flags) {
    std::int64_t samples = 0;
    return ReadChunk(position, 1, data, flags, samples);
}

AviResult AviReadStream::Seek(std::int64_t position) {
    av_packet_unref(packet_.get());
    pending_ = false;
    passed_ = 0;
    const AVStream* st = ctx_->streams[index_];
    const std::int64_t ts = av_rescale_q(position, positions_, st->time_base);
    if (av_seek_frame(ctx_.get(), index_, ts, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) >= 0) return AVIERR_OK;
    // No index to seek by: read again from the start.
    return Reopen();
}

AviResult AviReadStream::ReadNext() {
    const AVStream* st = ctx_->streams[index_];
    for (;;) {
        av_packet_unref(packet_.get());
        const int rc = av_read_frame(ctx_.get(), packet_.get());
        if (rc == AVERROR_EOF) return AVIERR_NODATA;
        if (rc < 0) return ToAviResult(rc, AVIERR_FILEREAD);
        if (packet_->stream_index != index_) continue;
        // A frame cut short by the end of the file (its writer was killed) is not a whole frame: the end.
        if (!audio_ && (packet_->flags & AV_PKT_FLAG_CORRUPT)) return AVIERR_NODATA;
        const std::int64_t ts = packet_->pts != AV_NOPTS_VALUE ? packet_->pts : packet_->dts;
        pendingStart_ = ts != AV_NOPTS_VALUE ? av_rescale_q(ts, st->time_base, positions_) : passed_;
        pendingCount_ = audio_ ? packet_->size / blockAlign_ : 1;
        if (pendingCount_ == 0) continue;
        pending_ = true;
        return AVIERR_OK;
    }
}

void AviReadStream::Deliver(std::int64_t position, std::int64_t maxSamples, std::vector<std::uint8_t>& data,
                            std::uint32_t& flags, std::int64_t& samples) {
    const std::int64_t end = pendingStart_ + pendingCount_;
    if (audio_) {
        samples = std::min(maxSamples, end - position);
        const auto offset = static_cast<std::size_t>((position - pendingStart_) * blockAlign_);
        data.assign(packet_->data + offset, packet_->data + offset + static_cast<std::size_t>(samples * blockAlign_));
    } else {
        samples = 1;
        data.assign(packet_->data, packet_->data + packet_->size);
        if (opaque32_)
            for (std::size_t i = 3; i < data.size(); i += 4) data[i] = 0;
    }
    flags = (packet_->flags & AV_PKT_FLAG_KEY) ? AVIIF_KEYFRAME : 0;
    if (position + samples >= end) {
        passed_ = end;
        pending_ = false;
        av_packet_unref(packet_.get());
    }
}

AviResult AviReadStream::ReadChunk(std::int64_t position, std::int64_t maxSamples, std::vector<std::uint8_t>& data,
                                   std::uint32_t& flags, std::int64_t& samples) {
    std::lock_guard lock(mutex_);
    data.clear();
    flags = 0;
    samples = 0;
    if (position < 0 || maxSamples < 1) return AVIERR_BADPARAM;
    if (length_ > 0 && position >= length_) return AVIERR_NODATA;
    if (position < passed_) {
        const AviResult rc = Seek(position);
        if (rc != AVIERR_OK) return rc;
    }
    for (;;) {
        if (!pending_) {
            const AviResult rc = ReadNext();
            if (rc == AVIERR_NODATA && position < length_) {
                samples = SkippedRun(audio_, position, length_, maxSamples);  // skipped positions at the end
                return AVIERR_OK;
            }
            if (rc != AVIERR_OK) return rc;
        }
        if (position < pendingStart_) {
            samples = SkippedRun(audio_, position, pendingStart_, maxSamples);  // skipped positions: no bytes
            return AVIERR_OK;
        }
        if (position < pendingStart_ + pendingCount_) {
            Deliver(position, maxSamples, data, flags, samples);
            return AVIERR_OK;
        }
        passed_ = pendingStart_ + pendingCount_;
        pending_ = false;
    }
}

}  // namespace tolm::ffmpeg

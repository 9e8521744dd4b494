#include "platform/ffmpeg/AviMuxer.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/mathematics.h>
}

#include "platform/ffmpeg/AudioFormat.h"
#include "platform/ffmpeg/ExtraData.h"
#include "platform/ffmpeg/FfmpegErrors.h"

namespace tolm::ffmpeg {

AviResult AviMuxer::Create(const std::string& path, std::shared_ptr<AviMuxer>& out, OutputContainer container,
                           std::string* problem) {
    if (path.empty()) return AVIERR_BADPARAM;
    auto muxer = std::make_shared<AviMuxer>();
    muxer->container_ = container;
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, MuxerName(container), nullptr) < 0 || !raw) return AVIERR_MEMORY;
    muxer->ctx_.reset(raw);
    // MP4's index is moved to the front at the end, by reading the file again under this name.
    av_freep(&raw->url);
    raw->url = av_strdup(("file:" + path).c_str());
    if (!raw->url) return AVIERR_MEMORY;
    muxer->packet_.reset(av_packet_alloc());
    if (!muxer->packet_) return AVIERR_MEMORY;
    // "file:" keeps a colon in the name from being read as a protocol.
    const int rc = avio_open(&muxer->ctx_->pb, ("file:" + path).c_str(), AVIO_FLAG_WRITE);
    if (rc < 0) {
        if (problem) *problem = AvErrorText(rc);
        return ToAviResult(rc, AVIERR_FILEOPEN);
    }
    out = std::move(muxer);
    return AVIERR_OK;
}

AviMuxer::~AviMuxer() {
    if (started_ && !finished_ && ctx_) av_write_trailer(ctx_.get());
}

AviResult AviMuxer::AddStream(const AviStreamInfo& info, int& index) {
    std::lock_guard lock(mutex_);
    if (finished_) return AVIERR_BADHANDLE;
    if (started_) return AVIERR_UNSUPPORTED;  // the header is out
    Stream stream;
    stream.info = info;
    if (info.fccType == streamtypeVIDEO) {
        if (info.dwRate == 0 || info.dwScale == 0) return AVIERR_BADPARAM;
        stream.video = true;
        av_reduce(&stream.timeline.num, &stream.timeline.den, info.dwScale, info.dwRate, INT32_MAX);
    } else if (info.fccType != streamtypeAUDIO) {
        return AVIERR_UNSUPPORTED;
    }
    AVStream* st = avformat_new_stream(ctx_.get(), nullptr);
    if (!st) return AVIERR_MEMORY;
    st->time_base = stream.timeline;
    if (!info.szName.empty()) av_dict_set(&st->metadata, "title", info.szName.substr(0, 64).c_str(), 0);
    index = static_cast<int>(streams_.size());
    streams_.push_back(std::move(stream));
    return AVIERR_OK;
}

AviResult AviMuxer::SetFormat(int index, const void* format, std::size_t size) {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(streams_.size())) return AVIERR_BADHANDLE;
    Stream& stream = streams_[index];
    const auto* bytes = static_cast<const std::uint8_t*>(format);
    if (!bytes || size == 0) return AVIERR_BADPARAM;
    if (started_) {
        // The header is written; only the same format again is fine.
        return stream.format.size() == size && std::memcmp(stream.format.data(), bytes, size) == 0 ? AVIERR_OK
                                                                                                   : AVIERR_UNSUPPORTED;
    }
    AVCodecParameters& par = *ctx_->streams[index]->codecpar;
    if (stream.video) {
        const AviResult rc = VideoParametersFromFormat(bytes, size, par);
        if (rc != AVIERR_OK) return rc;
        stream.raw = par.codec_id == AV_CODEC_ID_RAWVIDEO ? DescribeDibFormat(bytes, size) : std::nullopt;
        if (!ContainerTakes(container_, par.codec_id, par.bits_per_coded_sample)) return AVIERR_UNSUPPORTED;
        // A container with its own name for the codec refuses the AVI code.
        if (container_ != OutputContainer::avi &&
            avformat_query_codec(ctx_->oformat, par.codec_id, FF_COMPLIANCE_NORMAL) == 1)
            par.codec_tag = 0;
    } else {
        AviResult rc = AudioParametersFromFormat(bytes, size, par);
        if (rc != AVIERR_OK) return rc;
        stream.blockAlign = par.block_align;
        if (container_ == OutputContainer::mp4) {
            rc = AacEncoder::Open(par, stream.aac);
            if (rc == AVIERR_OK) rc = stream.aac->CopyParameters(par);
            if (rc != AVIERR_OK) return rc;
        } else if (container_ != OutputContainer::avi &&
                   avformat_query_codec(ctx_->oformat, par.codec_id, FF_COMPLIANCE_NORMAL) != 1) {
            return AVIERR_UNSUPPORTED;
        }
        stream.timeline = AVRational{1, par.sample_rate};
        ctx_->streams[index]->time_base = stream.timeline;
    }
    stream.format.assign(bytes, bytes + size);
    return AVIERR_OK;
}

std::vector<std::uint8_t> AviMuxer::Format(int index) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(streams_.size())) return {};
    return streams_[index].format;
}

AviStreamInfo AviMuxer::Info(int index) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(streams_.size())) return {};
    AviStreamInfo info = streams_[index].info;
    info.dwLength = static_cast<std::uint32_t>(streams_[index].next);
    return info;
}

AviResult AviMuxer::Start() {
    if (streams_.empty()) return AVIERR_NODATA;
    for (const Stream& s : streams_)
        if (s.format.empty()) return AVIERR_BADFORMAT;
    AvDictionaryPtr options;
    // The frames arrive as bottom-up DIB rows; the header must say so.
    if (container_ == OutputContainer::avi) DictSet(options, "flipped_raw_rgb", "1");
    // The index in front, so a player can start before the whole file is there.
    if (container_ == OutputContainer::mp4) DictSet(options, "movflags", "+faststart");
    // Matroska names raw frames only in YUV; ours, in RGB, go into its AVI-compatible track.
    if (container_ == OutputContainer::matroska) DictSet(options, "allow_raw_vfw", "1");
    AVDictionary* raw = options.release();
    const int rc = avformat_write_header(ctx_.get(), &raw);
    options.reset(raw);
    if (rc < 0) return Fail(rc, AVIERR_BADFORMAT);
    started_ = true;
    lastFlush_ = std::chrono::steady_clock::now();
    return AVIERR_OK;
}

AviResult AviMuxer::Fail(int error, AviResult fallback) {
    AviResult result = error == AVERROR(EIO) ? AVIERR_FILEWRITE : ToAviResult(error, fallback);
    if (failure_ == AVIERR_OK) {
        failure_ = result;
        failureError_ = error;
    }
    return result;
}

std::string AviMuxer::FailureReason() const {
    std::lock_guard lock(mutex_);
    return failureError_ < 0 ? AvErrorText(failureError_) : std::string();
}

AviResult AviMuxer::Write(int index, std::int64_t start, std::int64_t samples, const void* data, std::size_t size,
                          std::uint32_t flags) {
    return WriteSamples(index, start, samples, data, size, flags, nullptr);
}

AviResult AviMuxer::WriteFrameInPlace(int index, std::int64_t start, std::uint8_t* data, std::size_t size,
                                      std::uint32_t flags) {
    return WriteSamples(index, start, 1, data, size, flags, data);
}

AviResult AviMuxer::WriteSamples(int index, std::int64_t start, std::int64_t samples, const void* data,
                                 std::size_t size, std::uint32_t flags, std::uint8_t* writable) {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(streams_.size()) || finished_) return AVIERR_BADHANDLE;
    if (failure_ != AVIERR_OK) return failure_;
    Stream& stream = streams_[index];
    if (stream.format.empty()) return AVIERR_BADFORMAT;
    if (start < stream.next || samples < 1 || (size > 0 && !data)) return AVIERR_BADPARAM;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (stream.video) {
        if (samples != 1) return AVIERR_BADPARAM;
        if (stream.raw && size > 0) {
            if (size < stream.raw->imageSize) return AVIERR_BADSIZE;
            size = stream.raw->imageSize;
        }
    } else if (size != static_cast<std::size_t>(samples) * static_cast<std::size_t>(stream.blockAlign)) {
        return AVIERR_BADSIZE;
    }
    if (!started_ && container_ != OutputContainer::avi && stream.video) {
        const AviResult rc = ExtraDataFromFrame(*ctx_->streams[index]->codecpar, bytes, size);
        if (rc != AVIERR_OK) return rc;
    }
    if (!started_) {
        const AviResult rc = Start();
        if (rc != AVIERR_OK) return rc;
    }
    const bool key = (flags & AVIIF_KEYFRAME) != 0;
    if (container_ != OutputContainer::avi && stream.video) {
        if (size > 0) return HoldFrame(index, start, bytes, size, key);
        stream.next = start + 1;  // a repeat: the held frame lasts over it
        return AVIERR_OK;
    }
    if (stream.aac) {
        const AVRational timeBase = stream.aac->TimeBase();
        const AviResult rc = stream.aac->Encode(start, bytes, samples,
                                                [&](AVPacket& packet) { return WriteOwned(index, packet, timeBase); });
        if (rc == AVIERR_OK) stream.next = start + samples;
        return rc;
    }
    if (stream.video) {
        // Skipped positions become empty chunks: the file keeps its timeline and players hold the picture.
        for (std::int64_t p = stream.next; p < start; ++p) {
            const AviResult rc = WritePacket(index, p, 1, nullptr, 0, false);
            if (rc != AVIERR_OK) return rc;
        }
        if (stream.raw && stream.raw->bits == 32 && size > 0) {
            // The fourth byte of a 32-bit DIB pixel is unused; readers take it for alpha, so it is stored
            // opaque (and cleared again when read back).
            std::uint8_t* opaque = writable;
            if (!opaque) {
                stream.scratch.assign(bytes, bytes + size);
                opaque = stream.scratch.data();
            }
            for (std::size_t i = 3; i < size; i += 4) opaque[i] = 0xFF;
            bytes = opaque;
        }
    }
    return WritePacket(index, start, samples, bytes, size, key);
}

AviResult AviMuxer::HoldFrame(int index, std::int64_t position, const std::uint8_t* data, std::size_t size, bool key) {
    Stream& stream = streams_[index];
    const AviResult rc = WriteHeld(index, position);
    if (rc != AVIERR_OK) return rc;
    AvPacketPtr packet(av_packet_alloc());
    if (!packet || av_new_packet(packet.get(), static_cast<int>(size)) < 0) return AVIERR_MEMORY;
    if (stream.raw) {
        // These containers store rows top-down, and a 32-bit pixel's fourth byte is read as alpha.
        const std::size_t stride = stream.raw->stride;
        const int height = stream.raw->height;
        for (int y = 0; y < height; ++y)
            std::memcpy(packet->data + stride * y, data + stride * (height - 1 - y), stride);
        if (stream.raw->bits == 32)
            for (std::size_t i = 3; i < size; i += 4) packet->data[i] = 0xFF;
    } else {
        std::memcpy(packet->data, data, size);
    }
    if (key) packet->flags |= AV_PKT_FLAG_KEY;
    stream.held = std::move(packet);
    stream.heldAt = position;
    stream.next = position + 1;
    return AVIERR_OK;
}

AviResult AviMuxer::WriteHeld(int index, std::int64_t end) {
    Stream& stream = streams_[index];
    if (!stream.held) return AVIERR_OK;
    AvPacketPtr packet = std::move(stream.held);
    packet->pts = stream.heldAt;
    packet->dts = stream.heldAt;
    packet->duration = std::max<std::int64_t>(end - stream.heldAt, 1);
    return WriteOwned(index, *packet, stream.timeline);
}

AviResult AviMuxer::WriteOwned(int index, AVPacket& packet, AVRational timeBase) {
    av_packet_rescale_ts(&packet, timeBase, ctx_->streams[index]->time_base);
    packet.stream_index = index;
    const int rc = av_interleaved_write_frame(ctx_.get(), &packet);
    if (rc < 0) return Fail(rc, AVIERR_FILEWRITE);
    return AVIERR_OK;
}

// The last frame lasts to the end of the timeline, repeats included, and the encoder gives up its sound.
AviResult AviMuxer::WriteTails() {
    for (int i = 0; i < static_cast<int>(streams_.size()); ++i) {
        Stream& stream = streams_[i];
        const AVRational timeBase = stream.aac ? stream.aac->TimeBase() : stream.timeline;
        const AviResult rc = stream.aac ? stream.aac->Flush([&](AVPacket& p) { return WriteOwned(i, p, timeBase); })
                                        : WriteHeld(i, stream.next);
        if (rc != AVIERR_OK) return rc;
    }
    return AVIERR_OK;
}

AviResult AviMuxer::WritePacket(int index, std::int64_t position, std::int64_t samples, const std::uint8_t* data,
                                std::size_t size, bool key) {
    Stream& stream = streams_[index];
    AVStream* st = ctx_->streams[index];
    AVPacket* pkt = packet_.get();
    av_packet_unref(pkt);
    pkt->data = const_cast<std::uint8_t*>(data);  // not reference-counted: the muxer only reads it
    pkt->size = static_cast<int>(size);
    pkt->stream_index = index;
    pkt->pts = av_rescale_q(position, stream.timeline, st->time_base);
    pkt->dts = pkt->pts;
    pkt->duration = av_rescale_q(samples, stream.timeline, st->time_base);
    pkt->flags = key ? AV_PKT_FLAG_KEY : 0;
    const int rc = streams_.size() > 1 ? av_interleaved_write_frame(ctx_.get(), pkt) : av_write_frame(ctx_.get(), pkt);
    av_packet_unref(pkt);
    if (rc < 0) return Fail(rc, AVIERR_FILEWRITE);
    stream.next = position + samples;
    writtenSeconds_ = std::max(writtenSeconds_, av_q2d(stream.timeline) * static_cast<double>(stream.next));
    // Not at an empty position: the frame that follows a run of them would wait in the buffer for the next flush.
    if (size > 0) FlushNowAndThen();
    return AVIERR_OK;
}

void AviMuxer::FlushNowAndThen() {
    // A recorder killed mid-recording leaves only what reached the file: what the AVIO buffer holds goes out
    // once a second of wall time or of media, so a reader finds all but the last moment of the recording.
    const auto now = std::chrono::steady_clock::now();
    if (now - lastFlush_ < std::chrono::seconds(1) && writtenSeconds_ - flushedSeconds_ < 1.0) return;
    avio_flush(ctx_->pb);
    lastFlush_ = now;
    flushedSeconds_ = writtenSeconds_;
}

void AviMuxer::WaitBeforeFinish(std::weak_ptr<PendingWrites> pending) {
    std::lock_guard lock(mutex_);
    std::erase_if(pending_, [](const std::weak_ptr<PendingWrites>& p) { return p.expired(); });
    pending_.push_back(std::move(pending));
}

void AviMuxer::MarkFailed(AviResult result) {
    std::lock_guard lock(mutex_);
    if (result != AVIERR_OK && failure_ == AVIERR_OK && !finished_) failure_ = result;
}

AviResult AviMuxer::Finish() {
    std::vector<std::weak_ptr<PendingWrites>> pending;
    {
        std::lock_guard lock(mutex_);
        pending = pending_;
    }
    // Without the lock: the writers need it to get their frames in.
    for (const auto& weak : pending)
        if (const auto p = weak.lock()) p->CloseAfterWriting();
    std::lock_guard lock(mutex_);
    if (finished_) return finishResult_;
    finished_ = true;
    AviResult result = failure_;
    if (!started_ && result == AVIERR_OK) result = Start();
    if (started_ && result == AVIERR_OK) result = WriteTails();
    if (started_) {
        const int rc = av_write_trailer(ctx_.get());
        if (rc < 0 && result == AVIERR_OK) result = Fail(rc, AVIERR_FILEWRITE);
    }
    const int closed = avio_closep(&ctx_->pb);
    if (closed < 0 && result == AVIERR_OK) result = Fail(closed, AVIERR_FILEWRITE);
    finishResult_ = result;
    return result;
}

void AviMuxer::Abandon() {
    std::lock_guard lock(mutex_);
    if (finished_) return;
    finished_ = true;
    finishResult_ = AVIERR_USERABORT;
    avio_closep(&ctx_->pb);
}

}  // namespace tolm::ffmpeg
